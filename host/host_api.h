#pragma once
// Symbols of the host layer are visible to the plug-in that links against it.
#define HOST_API __attribute__((visibility("default")))
