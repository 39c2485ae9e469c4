#pragma once
#include <memory>
#include <string>

namespace dl {

// The toolkit's application object for the life of the program. Headless runs (batch commands)
// draw off screen and need no display.
class Application {
public:
    Application(int& argc, char** argv, bool headless);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Whether a window can be shown: false, with the reason, when the toolkit would find no display
    // to connect to (it would abort).
    static bool display_available(std::string& why);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace dl
