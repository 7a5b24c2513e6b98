#pragma once
// Oruvel's version, as the windows, the LCD and the stream requests show it.
#define ORUVEL_VERSION "0.2"
