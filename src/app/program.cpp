#include "app/program.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "analysis/fft.h"
#include "app/command_line.h"
#include "app/export_command.h"
#include "app/main_window_proc.h"
#include "app/open_file.h"
#include "app/reference_commands.h"
#include "app/run_controls.h"
#include "audio/playback.h"
#include "audio/record_port.h"
#include "audio/run.h"
#include "display/frame.h"
#include "display/present_block.h"
#include "platform/application.h"
#include "platform/audio_system.h"
#include "platform/end_signals.h"
#include "platform/font.h"
#include "platform/system.h"
#include "platform/tone_player.h"
#include "resources/command_ids.h"
#include "resources/menu_table.h"
#include "state/analysis.h"
#include "state/hooks.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/window_dc.h"

namespace dl {

Program::Program() = default;

Program::~Program() {
    ending_ = true;
    stop_wav();
    if (TheMainWindow == window_.get()) TheMainWindow = nullptr;
    if (window_ && WindowSurface == &window_->surface()) WindowSurface = nullptr;
}

void Program::Initialise(const std::vector<std::string>& args, ShowCommand show) {
    PlatformVersion = kThisPlatformVersion;
    // The window's run is the one where the voice steers the desktop's pointer.
    VoicePointerSteers = true;
    // The window shows every block it measures.
    PresentAnalysedBlock = PresentBlock;
    // The runs' events: the window's controls follow them.
    RunObserver = [](RunEvent e) {
        // The log holds what has been analysed since the last Start.
        if (e == RunEvent::Taken) ClearAnalysisLog();
        ShowRunEvent(e);
    };
    // Every block the window analyses is logged as the batch command would print it.
    AnalysisObserver = LogAnalysedBlock;
    load_settings();
    CommandLine cl = ParseCommandLine(args);
    StartupAutoStart = cl.auto_start;
    if (!cl.file_name.empty()) FileName = cl.file_name;
    if (cl.large_layout) {
        SetGraphWidth(1024);
        show = ShowCommand::Maximized;
    }

    JapaneseUi = japanese_locale();
    Font::use_japanese_stock_font(JapaneseUi);
    measure_layout_units();

    if (show == ShowCommand::Maximized) SetGraphWidth(1024);
    else UseNormalWindowSize();
    FitWindowWidth(std::max(screen_width(), Settings.window_width));

    window_ = std::make_unique<MainWindow>(proc_, menu_table(),
                                           show == ShowCommand::Maximized ? LayoutClientWidth() : NormalClientWidth(),
                                           client_height());
    TheMainWindow = window_.get();
    WindowSurface = &window_->surface();
    window_->set_title("dewlark");
    window_->set_icon(data_dir() + "/dewlark.png");
    if (JapaneseUi) LocaliseMenu();
    window_->accept_drops(true);
    ForgetMissingFilesAtStart();

    if (show == ShowCommand::Minimized) MinimisedFlag = true;
    if (GraphWidth == 1024) {
        window_->show(ShowCommand::Maximized);
        MinimisedFlag = false;
    } else {
        window_->show(show);
    }

    const int X = CellWidth, Y = CellHeight, top = (15 * Y) / 2;
    window_->create_button(kPlayButton, JapaneseUi ? "再生" : "PLAY", 37 * X, top, 11 * X, 4 * Y, false);
    window_->create_button(kStopButton, JapaneseUi ? "停止" : "STOP", 49 * X, top, 11 * X, 4 * Y, false);
    window_->create_button(kBeepButton, JapaneseUi ? "基準音" : "BEEP", 61 * X, top, 11 * X, 4 * Y, false);

    RelayoutWindow();
    window_->update_now();
    SetMenuCheckMarks();

    WaveInDeviceCount = wave_in_device_count();
    WaveInFormatMask = WaveInDeviceCount ? wave_in_format_mask() : 0;
    // Nothing that opens a source before the tone has ended and the initial one is chosen.
    EnableIdleCommands(false);
    // Not only between runs: a pointer that moves by itself must be easy to stop.
    window_->enable_menu(kCmdVoicePointer, CommandWorks(kCmdVoicePointer));
    // Fitted for this run only: the user's own values are what is saved.
    fit_record_settings(WaveInFormatMask);

    // The transform's table failure is written in the window's top-left corner, over whatever is there.
    FftNoMemoryReport = [](const std::string& text) {
        WindowDc dc;
        SetSchemeTextColours(dc);
        dc.dc().text_out(0, 0, text);
    };
    PrepareDisplayResources();
    LoadKeptReferences();
    // The window is shown and paints from the event loop while the tone sounds; the source waits for
    // the tone's end.
    PlayReferenceTone([this] { FinishStart(); });
}

void Program::FinishStart() {
    if (ending_ || !window_ || window_->destroyed()) return;
    window_->enable_button(kBeepButton, true);
    EnableIdleCommands(true);
    // A start that fails has said why; the window waits as after any failed start.
    if (!FileName.empty()) {
        UpdateTitle();
        if (SelectFileSource() == Result::Done && StartupAutoStart) StartPlayback();
    } else if (WaveInDeviceCount > 0) {
        if (SelectRecordSource() == Result::Done && StartupAutoStart) StartMonitoring();
    }
}

int Program::Run() {
    int code = run_message_loop();
    save_settings();
    return code;
}

namespace {

// A broken installation would otherwise only show as a silent BEEP and a help page that cannot open.
void ReportMissingData() {
    const std::string dir = data_dir();
    std::string missing;
    for (const char* name : {"kijun.wav", "dewlark.html", "dewlark.png"}) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(dir + "/" + name, ec)) missing.append(" ").append(name);
    }
    if (!missing.empty())
        std::fprintf(stderr,
                     "dewlark: data files missing from %s:%s; the reference tone is silent and the help page cannot "
                     "open (DEWLARK_DATA_DIR can name the folder that holds them)\n",
                     dir.c_str(), missing.c_str());
}

}  // namespace

int RunProgram(int argc, char** argv) {
    // Caught from the start; they end the window once its loop runs.
    EndSignals end_signals;
    if (std::string why; !Application::display_available(why)) {
        std::fprintf(stderr,
                     "dewlark: cannot show the window: %s.\n"
                     "Without a display, dewlark --analyse FILE and dewlark --info FILE still work.\n",
                     why.c_str());
        return 1;
    }
    Application app(argc, argv, false);
    ReportMissingData();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    Program program;
    // As File > Exit: the devices closed, the settings written. Listened for before the window
    // starts, so that a box it shows while starting is closed too.
    end_signals.listen([] {
        if (TheMainWindow && !TheMainWindow->destroyed()) DispatchCommand(kCmdExit, 0);
    });
    program.Initialise(args);
    return program.Run();
}

}  // namespace dl
