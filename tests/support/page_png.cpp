// The page's encoder defines the program's names; renamed here, both link
// into one test program.
#include "support/page_png.hpp"

#define png_supported page_png_supported
#define encode_png page_encode_png
#include "../../src/web/png_encode_page.cpp"
