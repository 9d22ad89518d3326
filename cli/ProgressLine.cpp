#include "ProgressLine.h"

#include <QTextStream>

#include <cmath>

// A redraw at most this often: a terminal need not see every image of a fast run.
static constexpr qint64 redrawMs = 100;

// "0:38", "12:05", "1:02:03".
static QString duration(qint64 seconds)
{
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds = QStringLiteral("%1:%2")
                                       .arg(hours > 0 ? (seconds / 60) % 60 : seconds / 60, hours > 0 ? 2 : 1, 10,
                                            QLatin1Char('0'))
                                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1:%2").arg(hours).arg(minutesSeconds) : minutesSeconds;
}

ProgressLine::ProgressLine(QTextStream &err, int total)
    : m_err(err), m_total(total)
{
    m_started.start();
}

QString ProgressLine::text(int done, int total, qint64 elapsedMs)
{
    QString line = QStringLiteral("Изображение %1 из %2").arg(done).arg(total);
    // The rate is known once an image took measurable time.
    if (done > 0 && elapsedMs > 0) {
        const double perSecond = done * 1000.0 / double(elapsedMs);
        const auto left = qint64(std::ceil(double(total - done) / perSecond));
        line += QStringLiteral(", %1 в секунду, осталось %2").arg(perSecond, 0, 'f', 1).arg(duration(left));
    }
    return line;
}

void ProgressLine::imageDone()
{
    ++m_done;
    const qint64 now = m_started.elapsed();
    if (m_drawnAt >= 0 && now - m_drawnAt < redrawMs && m_done < m_total && m_shown)
        return;
    m_drawnAt = now;
    draw();
}

void ProgressLine::draw()
{
    // Back to the line's start, the text, the rest of the old text erased.
    m_err << '\r' << text(m_done, m_total, m_started.elapsed()) << "\x1b[K";
    m_err.flush();
    m_shown = true;
}

void ProgressLine::clear()
{
    if (!m_shown)
        return;
    m_err << "\r\x1b[K";
    m_err.flush();
    m_shown = false;
}

void ProgressLine::finish()
{
    if (m_done > 0 && !m_shown)
        draw();
    if (m_shown)
        m_err << Qt::endl;
    m_shown = false;
}
