#pragma once
// A widget found by its name, with the type the test expects, or a test
// failure naming what was missing.
#include <gtest/gtest.h>

#include "host/ewidget.h"

namespace testsupport {

template <class W>
W* widgetNamed(eWidget& window, const char* name) {
  auto* found = dynamic_cast<W*>(window.findByName(name));
  EXPECT_NE(found, nullptr) << "no widget named " << name << " of the expected type";
  return found;
}

}  // namespace testsupport
