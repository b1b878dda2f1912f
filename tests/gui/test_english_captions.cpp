// The English interface shows only English rows: no caption, placeholder, hint, title or list
// heading of any window of a fresh client holds a Cyrillic letter.
#include "app/AppContext.h"
#include "support/OfflineClient.h"
#include "support/QtPrinters.h"
#include "windows/uList.h"
#include "windows/uNetMenu.h"
#include "windows/uNetProg.h"
#include "windows/uPhoto.h"
#include "windows/udragform.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QComboBox>
#include <QMetaProperty>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

bool hasCyrillic(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.script() == QChar::Script_Cyrillic; });
}

// "window/object.property: text" for every text property of the object and every cell and
// heading of its list model.
void collectTexts(const QObject* o, const QString& window, QStringList& out)
{
    const QString name = window + u'/' + o->objectName() + u'(' +
                         QString::fromLatin1(o->metaObject()->className()) + u')';
    const QMetaObject* meta = o->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        if (p.isReadable() && p.metaType().id() == QMetaType::QString)
            out.append(name + u'.' + QString::fromLatin1(p.name()) + ": " + p.read(o).toString());
    }
    const QAbstractItemModel* model = nullptr;
    if (const auto* view = qobject_cast<const QAbstractItemView*>(o))
        model = view->model();
    else if (const auto* box = qobject_cast<const QComboBox*>(o))
        model = box->model();
    if (!model)
        return;
    for (int column = 0; column < model->columnCount(); ++column) {
        out.append(name + ".heading: " + model->headerData(column, Qt::Horizontal).toString());
        for (int row = 0; row < model->rowCount(); ++row)
            for (const int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole)})
                out.append(name + ".item: " + model->index(row, column).data(role).toString());
    }
}

} // namespace

TEST(EnglishInterface, NoControlOfAnyWindowShowsACyrillicText)
{
    OfflineClient c;
    // Every window, as it is when first shown.
    for (const QWidget* made :
         {static_cast<QWidget*>(c.ctx->dragform()), static_cast<QWidget*>(c.ctx->netprog()),
          static_cast<QWidget*>(c.ctx->NetMenu()), static_cast<QWidget*>(c.ctx->Photo()),
          static_cast<QWidget*>(c.ctx->fList())})
        ASSERT_NE(made, nullptr);
    QStringList texts;
    for (const QWidget* window : c.ctx->windows()) {
        collectTexts(window, window->objectName(), texts);
        for (const QObject* child : window->findChildren<QObject*>())
            collectTexts(child, window->objectName(), texts);
    }
    // The walk reached the controls.
    EXPECT_TRUE(texts.contains("Network/Button2(QPushButton).text: Login"))
        << texts.filter("Button2").join(u'\n').toStdString();
    QStringList cyrillic;
    std::copy_if(texts.begin(), texts.end(), std::back_inserter(cyrillic), hasCyrillic);
    EXPECT_TRUE(cyrillic.isEmpty()) << cyrillic.join(u'\n').toStdString();
}
