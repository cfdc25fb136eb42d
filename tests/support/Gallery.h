#pragma once
// The window gallery: pictures of every window and dialog in the states that matter, written under
// the offscreen platform so that they can be looked at, and the checks every window's test shares.
#include <filesystem>
#include <string>
#include <vector>

class QWidget;

namespace testsupport {

// Folder the pictures go into: $KORVANTA_GALLERY_DIR, else <build>/gallery.
std::filesystem::path galleryDir();

// Shows the widget, lets it lay out and paint, and writes it as <galleryDir>/<name>.png.
// Returns the file written.
std::filesystem::path gallerySave(QWidget& widget, const std::string& name);

// Captions that do not fit their control at the control's own font: labels, buttons, check boxes,
// radio buttons and group-box titles that are visible, each as "objectName: text (needs N, has M)";
// also painted controls that publish the properties caption, captionFont and captionRoom.
std::vector<std::string> captionsThatDoNotFit(const QWidget& window);

// Pairs of visible sibling controls whose rectangles overlap, as "a / b". Group boxes and frames
// that contain the other control are not counted.
std::vector<std::string> overlappingControls(const QWidget& window);

}  // namespace testsupport
