#include "windows/uNetProg.h"

#include "app/AppContext.h"

Tnetprog::Tnetprog(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("netprog"));
    setWindowTitle(QStringLiteral("Larkspire"));
}
