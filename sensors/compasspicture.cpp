#include "compasspicture.h"

namespace kestrava {

CompassPicture::CompassPicture(QWidget *parent)
    : QWidget(parent)
{
}

} // namespace kestrava
