#pragma once

#include <memory>

class ProcessControl;

// The one place that knows which operating system's implementations the program runs on.
std::unique_ptr<ProcessControl> createProcessControl();
