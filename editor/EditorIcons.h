#pragma once

#include <QIcon>

// The table editor's 24 by 24 pictures, drawn rather than loaded so that they
// stay sharp and need no resource files: a table sheet with a badge that tells
// the command apart.
class EditorIcons
{
public:
    static QIcon save();
    static QIcon insertRow();
    static QIcon appendRow();
    static QIcon deleteRow();
    static QIcon clearTable();
    static QIcon window();
};
