#include "TJournalDisplacements.h"

#include <algorithm>
#include <limits>

namespace {

// Zone numbers below this find their arrays by index; larger ones by search.
constexpr int DirectZones = 4096;

constexpr float NoUncertainty = std::numeric_limits<float>::quiet_NaN();

} // namespace

qint16 TJournalDisplacements::spotCount(qint64 spots)
{
    return qint16(std::clamp<qint64>(spots, -1, std::numeric_limits<qint16>::max()));
}

TJournalDisplacements::Zone &TJournalDisplacements::zone(int number)
{
    if (number >= 0 && number < DirectZones) {
        if (number < m_slotOfZone.size() && m_slotOfZone.at(number) > 0)
            return zones[m_slotOfZone.at(number) - 1];
    } else {
        for (Zone &z : zones) {
            if (z.zone == number)
                return z;
        }
    }
    Zone added;
    added.zone = number;
    const double none = std::numeric_limits<double>::quiet_NaN();
    added.dx = QList<double>(images.size(), none);
    added.dy = QList<double>(images.size(), none);
    added.sx = QList<float>(images.size(), NoUncertainty);
    added.sy = QList<float>(images.size(), NoUncertainty);
    added.spots = QList<qint16>(images.size(), qint16(-1));
    zones << std::move(added);
    if (number >= 0 && number < DirectZones) {
        if (m_slotOfZone.size() <= number)
            m_slotOfZone.resize(number + 1, 0);
        m_slotOfZone[number] = int(zones.size());
    }
    return zones.last();
}

void TJournalDisplacements::fillZones()
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    for (Zone &z : zones) {
        z.dx.resize(images.size(), none);
        z.dy.resize(images.size(), none);
        z.sx.resize(images.size(), NoUncertainty);
        z.sy.resize(images.size(), NoUncertainty);
        z.spots.resize(images.size(), qint16(-1));
    }
}

TJournalDisplacements TJournalDisplacements::fromRows(const QList<TJournalRow> &rows)
{
    TJournalDisplacements result;
    int lastNumber = 0;
    for (const TJournalRow &row : rows) {
        if (result.images.isEmpty() || row.number != lastNumber) {
            lastNumber = row.number;
            result.images << Image{row.number, row.image, row.imageTime.isValid() ? row.imageTime : row.processedAt};
            result.fillZones();
        }
        // A zone met for the first time is made as long as the images so far.
        Zone &z = result.zone(row.zone);
        if (row.found && row.hasOrigin) {
            z.dx.last() = row.dx;
            z.dy.last() = row.dy;
            z.sx.last() = float(row.sx);
            z.sy.last() = float(row.sy);
        }
        z.spots.last() = spotCount(row.spots);
    }
    return result;
}
