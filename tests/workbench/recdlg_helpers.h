// Helpers of the record dialog tests: act on the modal form once it is open.
#pragma once
#include "formtest.h"

namespace recdlg {

using formtest::child;
using formtest::click;
using formtest::text;
using formtest::whenModal;

} // namespace recdlg
