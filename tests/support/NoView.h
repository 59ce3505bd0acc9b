// A technical view that shows nothing, for tests and benchmarks that look at
// the probe's result and record only.
#pragma once
#include <string>

#include "Module1.h"

namespace probe::testing {

struct NoView : TechnicalView {
  void List1Clear() override {}
  void List1AddItem(const std::u16string&) override {}
  void SetLabel1Caption(const std::u16string&) override {}
};

}  // namespace probe::testing
