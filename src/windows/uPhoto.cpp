#include "windows/uPhoto.h"

#include "app/AppContext.h"

TPhoto::TPhoto(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("Photo"));
    setWindowTitle(QStringLiteral("Larkspire"));
}
