#include "windows/uList.h"

#include "app/AppContext.h"

TfList::TfList(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("fList"));
    setWindowTitle(QStringLiteral("Larkspire"));
}
