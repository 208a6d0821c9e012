#pragma once

#include <QWidget>

namespace kestrava {

// Picture1: the compass's drawing surface, in twips from its top-left corner.
// It also holds child controls (the button, letters and value boxes).
class CompassPicture : public QWidget
{
    Q_OBJECT
public:
    explicit CompassPicture(QWidget *parent = nullptr);
};

} // namespace kestrava
