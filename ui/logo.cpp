// The logo is drawn at build time by logo_generator and compiled in as a resource.
#include "ui/logo.h"

QImage LogoImage() {
    return QImage(QStringLiteral(":/ui/tonare_logo.png"));
}
