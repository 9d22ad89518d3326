#include "ZipLibrary.h"

#include "KelvarinError.h"

const ZipLibrary &ZipLibrary::instance()
{
    static const ZipLibrary library(QStringLiteral("zip"), KELVARIN_LIBZIP_MAJOR);
    if (!library.isLoaded())
        throw KelvarinError(library.errorString());
    return library;
}

ZipLibrary::ZipLibrary(const QString &fileName, int majorVersion) : m_library(fileName, majorVersion)
{
    if (!m_library.load()) {
        m_errorString = QStringLiteral("библиотека libzip (%1) не загружается: %2")
                            .arg(m_library.fileName(), m_library.errorString());
        return;
    }
    resolveAll();
}

bool ZipLibrary::resolveAll()
{
    return resolve("zip_open", open) && resolve("zip_discard", discard)
        && resolve("zip_error_init_with_code", error_init_with_code) && resolve("zip_error_strerror", error_strerror)
        && resolve("zip_error_fini", error_fini) && resolve("zip_get_error", get_error)
        && resolve("zip_get_num_entries", get_num_entries) && resolve("zip_get_name", get_name)
        && resolve("zip_name_locate", name_locate) && resolve("zip_stat_init", stat_init)
        && resolve("zip_stat_index", stat_index) && resolve("zip_fopen_index", fopen_index)
        && resolve("zip_fread", fread) && resolve("zip_file_get_error", file_get_error)
        && resolve("zip_fclose", fclose) && resolve("zip_file_extra_field_get_by_id", file_extra_field_get_by_id);
}

template<typename Function> bool ZipLibrary::resolve(const char *name, Function &function)
{
    function = reinterpret_cast<Function>(m_library.resolve(name));
    if (!function) {
        m_errorString
            = QStringLiteral("в библиотеке libzip (%1) нет функции %2").arg(m_library.fileName(), QLatin1String(name));
    }
    return function != nullptr;
}
