#include "ParallelMeasuring.h"

#include "KelvarinError.h"
#include "LoaderLogging.h"
#include "TParameters.h"
#include "TPointFinder.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// What the jobs and the caller share, under one lock.
struct Shared
{
    std::mutex lock;
    std::condition_variable changed;
    int next = 0;       // the next image a job takes
    int delivered = 0;  // images handed to the caller
    bool stop = false;
    std::map<int, ParallelMeasuring::Image> ready;
};

ParallelMeasuring::Image measureOne(TPointFinder &finder, int index,
                                    const std::function<void(TPointFinder &, int)> &measure)
{
    ParallelMeasuring::Image result;
    // Each job's series hold only the image at hand, and a job keeps no image
    // from before (nobody looks at it): an image held in memory, as one read
    // from an archive is, goes before the next is read.
    for (TZoneInfo &zone : finder.zones())
        zone.points.clear();
    finder.image().close();
    try {
        measure(finder, index);
        result.measured = finder.lastMeasurements();
    } catch (const KelvarinError &error) {
        result.error = error.message();
    } catch (const std::exception &error) {
        result.error = QString::fromLocal8Bit(error.what());
    }
    return result;
}

void work(Shared &shared, int count, int window, const TParameters &params, const QList<TZoneInfo> &zones,
          const std::function<void(TPointFinder &, int)> &measure)
{
    TPointFinder finder(params, nullptr, nullptr);
    finder.zones() = zones;
    for (;;) {
        int index = 0;
        {
            std::unique_lock<std::mutex> guard(shared.lock);
            shared.changed.wait(guard, [&] {
                return shared.stop || shared.next >= count || shared.next < shared.delivered + window;
            });
            if (shared.stop || shared.next >= count)
                return;
            index = shared.next++;
        }
        ParallelMeasuring::Image result = measureOne(finder, index, measure);
        {
            std::lock_guard<std::mutex> guard(shared.lock);
            shared.ready.emplace(index, std::move(result));
        }
        shared.changed.notify_all();
    }
}

} // namespace

int ParallelMeasuring::defaultJobs()
{
    return std::max(1, int(std::thread::hardware_concurrency()));
}

void ParallelMeasuring::run(int count, int jobs, const TParameters &params, const QList<TZoneInfo> &zones,
                            const std::function<void(TPointFinder &, int)> &measure,
                            const std::function<bool(int, const Image &)> &deliver)
{
    if (count <= 0)
        return;
    jobs = std::clamp(jobs, 1, count);
    QList<TZoneInfo> empty = zones;
    for (TZoneInfo &zone : empty)
        zone.points.clear();

    LoaderLogging::registerCategories();  // before any job can load a library
    Shared shared;
    const int window = AheadPerJob * jobs;
    std::vector<std::thread> workers;
    // However the delivery ends, even by an exception, the jobs stop and are joined.
    struct Joiner
    {
        Shared &shared;
        std::vector<std::thread> &workers;
        ~Joiner()
        {
            {
                std::lock_guard<std::mutex> guard(shared.lock);
                shared.stop = true;
            }
            shared.changed.notify_all();
            for (std::thread &worker : workers)
                worker.join();
        }
    } joiner{shared, workers};
    workers.reserve(size_t(jobs));
    for (int j = 0; j < jobs; ++j)
        workers.emplace_back(work, std::ref(shared), count, window, std::cref(params), std::cref(empty),
                             std::cref(measure));
    for (int i = 0; i < count; ++i) {
        Image result;
        {
            std::unique_lock<std::mutex> guard(shared.lock);
            shared.changed.wait(guard, [&] { return shared.ready.count(i) != 0; });
            auto found = shared.ready.find(i);
            result = std::move(found->second);
            shared.ready.erase(found);
            shared.delivered = i + 1;
        }
        shared.changed.notify_all();
        if (!deliver(i, result))
            break;
    }
}
