// inkslab: draws one or two centred lines of text on a coloured card and saves it as PNG.
// Exit status 0 when the file was written, 1 after the usage line, 2 when writing failed.
// Standard output stays empty; standard error gets the usage line and nothing else.
// The run itself: card_program.h. How each system draws: card_artist_linux.cpp (Pango and
// Cairo) and card_artist_mac.cpp (CoreText, CoreGraphics and ImageIO).

#include <string>
#include <vector>

#include "tools/inkslab/card_program.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return kestrova::inkslab::runInkslab(args, kestrova::inkslab::makeCardArtist);
}
