#include "core/StringList.h"
#include "core/Suggestions.h"
#include "core/uLocal.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(Suggestions, FilesStartFromTheLanguageAndStayFreeOfDuplicates)
{
    TempTree t;
    const QString data = t.path("data/");
    QDir().mkpath(data);
    suggestions::prepare(data, builtInRegions("xx/"));
    EXPECT_TRUE(QFile::exists(data + "rg.ind"));
    EXPECT_EQ(suggestions::load(data + "rg.ind"), QStringList());
    EXPECT_TRUE(QFile::exists(data + "st.ind"));

    // A file written by hand or by an older copy keeps the first spelling of each value.
    stringlist::save(data + "rg.ind", {"Perm", "", "perm", "Omsk", "PERM"});
    suggestions::prepare(data, builtInRegions("eng/"));
    EXPECT_EQ(suggestions::load(data + "rg.ind"), QStringList({"Perm", "Omsk"}));

    suggestions::add(data + "st.ind", "  Fishing ");
    suggestions::add(data + "st.ind", "fishing");
    suggestions::add(data + "st.ind", "   ");
    EXPECT_EQ(suggestions::load(data + "st.ind"), QStringList({"Fishing"}));
}

TEST(Suggestions, TheFirstStartOfARussianClientOffersItsTowns)
{
    TempTree t;
    const QString data = t.path("data/");
    QDir().mkpath(data);
    suggestions::prepare(data, builtInRegions("rus/"));
    const QStringList regions = suggestions::load(data + "rg.ind");
    EXPECT_EQ(regions.value(0), QString::fromUtf8("Абаза"));
    EXPECT_EQ(regions.size(), suggestions::distinct(builtInRegions("rus/")).size());
}

TEST(Suggestions, DirectoryFieldsHoldNoDelimiterAndNoLineBreak)
{
    for (const QString& bad : {QStringLiteral("a}b"), QStringLiteral("a\nb"),
                               QStringLiteral("a\rb"), QString(QChar::LineSeparator)})
        EXPECT_FALSE(suggestions::fitsDirectoryField(bad)) << bad.toStdString();
    EXPECT_TRUE(suggestions::fitsDirectoryField(QStringLiteral(" {St. Ives ")));
}
