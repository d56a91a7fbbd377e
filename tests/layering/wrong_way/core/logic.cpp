// Not compiled: input of the layering check's own test. Wrong: lines 4, 5, 6, 8, 11.
#include "core/protocol.h"
#include "platform/send_policy.h"
#include "ui/main_window.h"
  #  include <CommCtrl.h>
#include "platform/win32_file.h"
// #include "app/commented_out.h"
#include <shlobj.h>
#include <vector>
#include <CLI/CLI.hpp>
#include <gtest/gtest.h>
