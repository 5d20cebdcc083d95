#pragma once

#include <memory>

class Drives;
class ProcessControl;

// The one place that knows which operating system's implementations the program runs on.
std::unique_ptr<ProcessControl> createProcessControl();
std::unique_ptr<Drives> createDrives();
