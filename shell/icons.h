// The program's own pictures: the command button icons in their looks, the
// device icon and the application icon, rendered from the SVG resources.
#pragma once

#include <QIcon>
#include <QImage>

namespace lumicarve {

enum class ButtonIcon { kSearch, kRecover, kCancel };
enum class IconLook { kNormal, kHover, kDisabled };

// The icon at `size` × `size`: as drawn, lighter for the hover look, grey and
// dim for the disabled look.
QImage RenderButtonIcon(ButtonIcon icon, IconLook look, int size);
QIcon DeviceIcon();
QIcon ApplicationIcon();
QImage ApplicationImage(int size);

}  // namespace lumicarve
