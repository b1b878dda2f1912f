#pragma once

#include <QString>
#include <QStringList>

// The localised texts of the interface. Each row is "description;text" in the active language.
class StringTable
{
public:
    static constexpr int kRowCount = 427;
    // Rows that several windows and views show.
    static constexpr int kTxtNameNotClean = 20;
    static constexpr int kTxtRegionPlaceholder = 110;
    static constexpr int kTxtNamePlaceholder = 129;
    static constexpr int kTxtSignIn = 131;
    static constexpr int kTxtPasswordPlaceholder = 132;
    static constexpr int kTxtActivityPlaceholder = 320;
    static constexpr int kTxtUploading = 329;
    // The characters a name or password may not hold follow this text.
    static constexpr int kTxtRefusedCharacters = 372;
    static constexpr int kTxtProfileFieldRefused = 373;
    // What is still on the server follows this text.
    static constexpr int kTxtDeletionIncomplete = 374;
    // The reason follows this text.
    static constexpr int kTxtRenameRolledBack = 375;
    static constexpr int kTxtPictureUnreadable = 376;
    static constexpr int kPhraseCount = 7;

    // Rows of the built-in source table, "description;russian;english".
    static QString sourceRow(int n);
    static QString sourcePhraseRow(int n);

    // "rus/" takes the Russian column, "eng/" the English one; any other code (compared exactly)
    // leaves the table empty.
    void build(const QString& languageCode);
    bool isEmpty() const { return m_rows.isEmpty(); }
    int size() const { return static_cast<int>(m_rows.size()); }
    const QStringList& rows() const { return m_rows; }

    // The active-language text of row n; empty when the row does not exist.
    QString text(int n) const;

private:
    QStringList m_rows;
};

// The seven file-notice phrases, in the language of the correspondent rather than the user's.
class PhraseTable
{
public:
    void rebuild(const QString& languageCode);
    QString phrase(int n) const;
    int size() const { return static_cast<int>(m_rows.size()); }

private:
    QStringList m_rows;
};

// The first line of the language file, exactly as written; nullopt-like empty result with
// error set when the file cannot be read or holds nothing.
QString readLanguageCode(const QString& path, QString* error);

// The two built-in region lists offered as suggestions at first start.
QStringList builtInRegions(const QString& languageCode);
const QStringList& allrgRus();
const QStringList& allrgEng();
