#include "core/uLocal.h"

#include "core/StringList.h"

namespace {

#include "core/StringTableData.inc"

static_assert(std::size(kSourceRows) == StringTable::kRowCount);
static_assert(std::size(kPhraseRows) == StringTable::kPhraseCount);

// Field 0 + ";" + the column of the language, or nothing for an unknown code.
QStringList buildRows(const QStringList& source, const QString& code)
{
    int column = 0;
    if (code == u"rus/")
        column = 1;
    else if (code == u"eng/")
        column = 2;
    else
        return {};
    QStringList rows;
    rows.reserve(source.size());
    for (const QString& row : source)
        rows.append(stringlist::field(row, 0, u';') + u';' + stringlist::field(row, column, u';'));
    return rows;
}

template <std::size_t N> QStringList toList(const char16_t* const (&rows)[N])
{
    QStringList list;
    list.reserve(N);
    for (const char16_t* row : rows)
        list.append(QString::fromUtf16(row));
    return list;
}

} // namespace

QString StringTable::sourceRow(int n)
{
    return n >= 0 && n < kRowCount ? QString::fromUtf16(kSourceRows[n]) : QString();
}

QString StringTable::sourcePhraseRow(int n)
{
    return n >= 0 && n < kPhraseCount ? QString::fromUtf16(kPhraseRows[n]) : QString();
}

void StringTable::build(const QString& languageCode)
{
    m_rows = buildRows(toList(kSourceRows), languageCode);
}

QString StringTable::text(int n) const
{
    // No caller relies on a failure for a missing row, so it reads as an empty text.
    if (n < 0 || n >= m_rows.size())
        return {};
    return stringlist::field(m_rows.at(n), 1, u';');
}

void PhraseTable::rebuild(const QString& languageCode)
{
    m_rows = buildRows(toList(kPhraseRows), languageCode);
}

QString PhraseTable::phrase(int n) const
{
    if (n < 0 || n >= m_rows.size())
        return {};
    return stringlist::field(m_rows.at(n), 1, u';');
}

QString readLanguageCode(const QString& path, QString* error)
{
    QString why;
    const auto lines = stringlist::load(path, &why);
    if (!lines) {
        if (error)
            *error = why;
        return {};
    }
    if (lines->isEmpty()) {
        if (error)
            *error = QStringLiteral("The language file \"%1\" is empty.").arg(path);
        return {};
    }
    return lines->first();
}
