#pragma once

// Qt 6.4 creates the logging categories of its library and plugin loaders on
// first use and enters each in a table it shares among threads without a lock.
// Two threads loading their first library at once (libtiff in a measuring job,
// an SQL driver on the journal's writer) can corrupt that table: the process
// dies now and then. Code that starts threads calls registerCategories() first,
// on its own thread, so the loaders find their categories made.
class LoaderLogging
{
public:
    // Makes the categories of QLibrary and QPluginLoader, once per process.
    // Loads nothing: the probes name a file that cannot exist.
    static void registerCategories();
};
