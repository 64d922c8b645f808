#pragma once

#include <QFont>

// The windows' designed font: Tahoma at a character height in pixels, not scaled with the screen's resolution.
// Where Tahoma is missing, the font database picks a close sans-serif.
QFont DesignFont(int pixelSize = 12);
