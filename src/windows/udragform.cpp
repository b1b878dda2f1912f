#include "windows/udragform.h"

#include "app/AppContext.h"

Tdragform::Tdragform(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("dragform"));
    setWindowTitle(QStringLiteral("Larkspire"));
}
