#include "windows/uNetMenu.h"

#include "app/AppContext.h"

TNetMenu::TNetMenu(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("NetMenu"));
    setWindowTitle(QStringLiteral("Larkspire"));
}
