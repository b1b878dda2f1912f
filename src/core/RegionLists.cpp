#include "core/uLocal.h"

// Placeholder lists until the full data set is generated.
const QStringList& allrgRus()
{
    static const QStringList list{QStringLiteral("Абаза"), QStringLiteral("Абакан"),
                                  QStringLiteral("Абан")};
    return list;
}

const QStringList& allrgEng()
{
    static const QStringList list{QStringLiteral("New York"), QStringLiteral("Los Angeles"),
                                  QStringLiteral("Chicago")};
    return list;
}

QStringList builtInRegions(const QString& languageCode)
{
    if (languageCode == u"rus/")
        return allrgRus();
    if (languageCode == u"eng/")
        return allrgEng();
    return {};
}
