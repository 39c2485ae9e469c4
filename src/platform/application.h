#pragma once
#include <memory>

namespace dl {

// The toolkit's application object for the life of the program. Headless runs (batch commands)
// draw off screen and need no display.
class Application {
public:
    Application(int& argc, char** argv, bool headless);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace dl
