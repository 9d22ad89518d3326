#pragma once

#include <QLibrary>
#include <QString>

#include <zip.h>

// libzip, loaded the first time an archive is read. Most runs read loose
// bitmaps only, and linking libzip would load it, with the cryptography
// library it depends on, into every start of the tool: about 130 page faults,
// 4 ms on a small virtual machine, before the first image is opened.
//
// The functions used are the library's own, resolved by name; their types come
// from libzip's header, so a change of signature fails the build.
class ZipLibrary
{
public:
    // The library for the process, loaded once by whichever thread asks first.
    // Throws KelvarinError naming the library and the reason when it cannot
    // be loaded.
    static const ZipLibrary &instance();

    // Loads `fileName` (as QLibrary finds it, e.g. "zip" with major version 4).
    ZipLibrary(const QString &fileName, int majorVersion);
    ZipLibrary(const ZipLibrary &) = delete;
    ZipLibrary &operator=(const ZipLibrary &) = delete;

    bool isLoaded() const { return m_errorString.isEmpty(); }
    // Why the library or one of its functions could not be loaded.
    QString errorString() const { return m_errorString; }

    decltype(&::zip_open) open = nullptr;
    decltype(&::zip_discard) discard = nullptr;
    decltype(&::zip_error_init_with_code) error_init_with_code = nullptr;
    decltype(&::zip_error_strerror) error_strerror = nullptr;
    decltype(&::zip_error_fini) error_fini = nullptr;
    decltype(&::zip_get_error) get_error = nullptr;
    decltype(&::zip_get_num_entries) get_num_entries = nullptr;
    decltype(&::zip_get_name) get_name = nullptr;
    decltype(&::zip_name_locate) name_locate = nullptr;
    decltype(&::zip_stat_init) stat_init = nullptr;
    decltype(&::zip_stat_index) stat_index = nullptr;
    decltype(&::zip_fopen_index) fopen_index = nullptr;
    decltype(&::zip_fread) fread = nullptr;
    decltype(&::zip_file_get_error) file_get_error = nullptr;
    decltype(&::zip_fclose) fclose = nullptr;
    decltype(&::zip_file_extra_field_get_by_id) file_extra_field_get_by_id = nullptr;

private:
    bool resolveAll();
    template<typename Function> bool resolve(const char *name, Function &function);

    QLibrary m_library;
    QString m_errorString;
};
