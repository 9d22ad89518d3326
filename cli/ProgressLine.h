#pragma once

#include <QElapsedTimer>
#include <QString>

class QTextStream;

// The one line a terminal shows while `process` runs, rewritten in place
// after each image: "Изображение 12 из 340, 8.4 в секунду, осталось 0:38".
// A notice printed meanwhile first clears it; the next image draws it again.
class ProgressLine
{
public:
    ProgressLine(QTextStream &err, int total);

    void imageDone();
    // Clears the line (before another line is printed).
    void clear();
    // Leaves the last state on the screen and moves to the next line.
    void finish();

    // The text after `done` of `total` images in `elapsedMs` milliseconds.
    static QString text(int done, int total, qint64 elapsedMs);

private:
    void draw();

    QTextStream &m_err;
    int m_total;
    int m_done = 0;
    bool m_shown = false;
    QElapsedTimer m_started;
    qint64 m_drawnAt = -1;
};
