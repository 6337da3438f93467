#pragma once

namespace qira::platform {

// Maps the Windows font names the program asks for ("宋体", "SimSun") to the
// CJK font installed here, so that Chinese text always finds its glyphs and
// the choice does not depend on the fontconfig order.
void InstallFontSubstitutions();

}  // namespace qira::platform
