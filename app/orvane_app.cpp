#include "app/orvane_app.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>
#include <cstdio>
#include <iostream>

#include "app/child_dialogs.h"
#include "app/composite_binding.h"
#include "app/instance_start.h"
#include "device/protocol.h"
#include "model/config_context.h"
#include "model/device_image.h"
#include "model/profile_config.h"
#include "platform/desktop_session.h"
#include "platform/hid_backend.h"
#include "platform/instance.h"
#include "platform/linux/hidraw_backend.h"
#include "platform/paths.h"
#include "platform/program_paths.h"
#include "platform/registry.h"
#include "platform/termination.h"
#include "sim/sim_backend.h"
#include "store/folders.h"
#include "store/language.h"
#include "store/settings.h"
#include "ui/editors/macro_panel.h"
#include "ui/main/orvane_dlg.h"
#include "ui/skin/qt_prompt.h"
#include "ui/skin/qt_translation.h"
#include "ui/skin/theme.h"

namespace orvane {

namespace {

constexpr const char* kUsage =
    "usage: orvane [/Start] [/Kill] [/Update] [--simulate[=STATE]] [--hid-root DIR]\n"
    "  /Start               stay in the notification area when the keyboard is found\n"
    "  /Kill                end the running instance\n"
    "  /Update              open the running instance's firmware update dialog\n"
    "  --simulate[=STATE]   use the built-in simulated keyboard; with STATE its memory is kept\n"
    "                       in that file\n"
    "  --hid-root DIR       look for the keyboard in DIR/sys and DIR/dev (orvane-simkbd's tree)\n";

// Unattended runs (tests, demonstrations): ORVANE_PROMPT_AUTOANSWER_MS=N answers every message
// box with its default after N ms, saying so on the error stream.
void AnswerPromptsUnattended(const std::string& delay) {
  if (delay.empty()) return;
  char* end = nullptr;
  const long ms = std::strtol(delay.c_str(), &end, 10);
  if (end == delay.c_str() || ms < 0 || ms > 600000) return;
  QtPrompt::SetGlobalInterceptor([ms](QMessageBox&, const PromptRequest& request) -> std::optional<PromptAnswer> {
    std::cerr << "orvane: prompt shown: " << request.text << std::endl;
    QEventLoop wait;
    QTimer::singleShot(int(ms), &wait, &QEventLoop::quit);
    wait.exec();
    std::cerr << "orvane: prompt answered" << std::endl;
    return QtPrompt::DefaultAnswer(request);
  });
}

}  // namespace

AppOptions ParseAppOptions(const std::vector<std::string>& args) {
  AppOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--simulate") {
      o.simulate = true;
    } else if (a.rfind("--simulate=", 0) == 0) {
      o.simulate = true;
      o.simulate_state = a.substr(11);
      if (o.simulate_state.empty()) o.error = "option --simulate= needs a file name";
    } else if (a == "--hid-root") {
      if (i + 1 >= args.size()) {
        o.error = "option --hid-root needs a folder";
      } else {
        o.hid_root = args[++i];
      }
    } else if (a.rfind("--hid-root=", 0) == 0) {
      o.hid_root = a.substr(11);
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else {
      o.switches.push_back(a);
    }
  }
  if (o.simulate && !o.hid_root.empty()) o.error = "--simulate and --hid-root cannot be used together";
  return o;
}

// Everything the run keeps in process-wide state, in the order it is set up (and destroyed the
// other way round: the window and its threads first, the instances and their locks last).
struct COrvaneApp::State {
  // Step 1: the settings root is the framework key of AppSettings (kFrameworkRoot).
  // Step 2: the paths.
  ProgramPaths paths = CurrentProgramPaths();
  // Step 3: the settings key; when it can be neither opened nor created, settings use defaults.
  RegistryStore registry_store;
  RegistryStore* registry = nullptr;
  std::unique_ptr<LanguageFiles> languages;
  std::unique_ptr<LanguageTextSource> texts;
  std::unique_ptr<AppSettings> settings;
  // Step 4: the two instances, each with its own lock (editing, then device), and what the
  // keyboard tells about itself.
  ProfileInstance editing;
  ProfileInstance applied;
  KeyboardFacts keyboard;
  CInstanceMutex mutex;
  // The keyboard's HID backend.
  std::unique_ptr<SimHidBackend> sim;
  std::unique_ptr<HidrawBackend> hidraw;
  IHidBackend* backend = nullptr;
  CDeviceProtocol protocol;
  AppOptions options;
  bool start_silent = false;
};

COrvaneApp::COrvaneApp() : state_(std::make_unique<State>()) {}

COrvaneApp::~COrvaneApp() {
  // The locks go last, after every thread that could take them has been joined (the window's
  // destructor stops the device threads).
  SetDefaultHidBackend(nullptr);
}

const std::string& COrvaneApp::SkinFolder() const { return state_->paths.main_skin_folder; }

int COrvaneApp::LanguageIndex() const { return state_->languages->GetLanguageIndex(); }

bool COrvaneApp::Start(const AppOptions& options, int* exit_code) {
  State& s = *state_;
  *exit_code = 0;
  s.options = options;
  if (s.registry_store.KeyExists(kAppRegistryKey) || s.registry_store.CreateKey(kAppRegistryKey))
    s.registry = &s.registry_store;
  s.languages = std::make_unique<LanguageFiles>(s.registry, s.paths.program_dir);
  s.texts = std::make_unique<LanguageTextSource>(*s.languages);
  s.settings = std::make_unique<AppSettings>(s.registry, ProfileFolder());

  // Step 5, first half: the command line and the single-instance rule, before any window.
  PlatformInstanceSystem system(s.mutex, s.paths.daemon);
  const InstanceStart start = HandleCommandLine(options.switches, s.paths.bare_name, system);
  if (start.end_process) return false;
  s.start_silent = start.start_silent;

  if (options.simulate) {
    if (options.simulate_state.empty()) {
      s.sim = std::make_unique<SimHidBackend>();
    } else {
      std::string why;
      s.sim = SimHidBackend::WithStateFile(options.simulate_state, &why);
      if (!s.sim) {
        std::cerr << "orvane: simulated keyboard state " << options.simulate_state << ": "
                  << (why.empty() ? "cannot be used" : why) << "\n";
        *exit_code = 3;
        return false;
      }
    }
    s.backend = s.sim.get();
  } else if (!options.hid_root.empty()) {
    s.hidraw = std::make_unique<HidrawBackend>(JoinPath(options.hid_root, "sys"), JoinPath(options.hid_root, "dev"));
    s.backend = s.hidraw.get();
  }
  if (s.backend != nullptr) SetDefaultHidBackend(s.backend);
  return true;
}

int COrvaneApp::RunWindow() {
  State& s = *state_;
  const AppOptions& options = s.options;
  int code = 0;
  {
    MainDialogServices services(ConfigContext{s.editing, s.applied, s.keyboard}, s.protocol, *s.languages, *s.texts,
                                *s.settings);
    services.backend = s.backend;
    services.registry = s.registry;
    services.paths = s.paths;
    services.mutex = &s.mutex;
    services.start_silent = s.start_silent;
    if (!EnvironmentValue("ORVANE_REPORT_TRAY").empty())
      services.report = [](const std::string& line) { std::cerr << "orvane: " << line << std::endl; };
    if (SimHidBackend* sim = s.sim.get()) {
      services.simulation.plug = [sim] { sim->Hub().Plug(); };
      services.simulation.unplug = [sim] { sim->Hub().Unplug(); };
      services.simulation.send_event = [sim](uint16_t usage) { sim->Hub().SendConsumerEvent(usage); };
    }
    // Step 5, second half: the main window, run modally until its exit sequence.
    COrvaneDlg dialog(std::move(services));
    // The composite key dialog, with its macro panel, lives as long as the window and goes before it.
    const std::unique_ptr<Orvane_DlgComposite> composite =
        BindCompositeDialog(dialog, MakeMacroPanelFactory(s.keyboard));
    // The profile manager and the update dialog, bound to the window's hooks; they go first.
    ChildDialogs children(dialog);
    // Asked to end from outside (logout, a terminal's Ctrl-C): the window's own exit sequence.
    std::unique_ptr<QSocketNotifier> termination;
    if (const int fd = TerminationRequestFd(); fd >= 0) {
      termination = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
      QObject::connect(termination.get(), &QSocketNotifier::activated, &dialog, [fd, &dialog] {
        if (TakeTerminationRequests(fd)) PostWindowMessage(&dialog, WM_MAIN_EXIT, kCheckWordExit, 0);
      });
    }
    dialog.RunModal();
    // Step 6: the dialog goes (its threads are joined); the screen repaints by itself.
  }
  if (s.sim && !options.simulate_state.empty()) {
    std::string why;
    if (!s.sim->Save(&why)) {
      std::cerr << "orvane: saving the simulated keyboard's state failed: " << why << "\n";
      code = 1;
    }
  }
  return code;
}

int RunOrvane(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
  const AppOptions options = ParseAppOptions(args);
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::cerr << "orvane: " << options.error << "\n" << kUsage;
    return 2;
  }
  bool platform_argument = false;
  for (const std::string& a : args) platform_argument = platform_argument || a == "-platform" || a == "--platform";
  SetQtPlatform(PreferredQtPlatform(EnvironmentValue, platform_argument));

  COrvaneApp app;
  // A /Kill run or a second start ends here, before it needs a display.
  int code = 0;
  if (!app.Start(options, &code)) return code;
  if (!DisplayAvailable(EnvironmentValue)) {
    // Said in the terminal: without a display there is no window to say it in.
    std::cerr << "orvane: no display to show the program on (DISPLAY and WAYLAND_DISPLAY are unset).\n"
                 "Run it in a desktop session, or try the command-line tool: orvane-cli --simulate info\n";
    return 1;
  }
  QApplication qt(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  AnswerPromptsUnattended(EnvironmentValue("ORVANE_PROMPT_AUTOANSWER_MS"));
  ApplySkinTheme(qt, app.SkinFolder());
  // Qt's own buttons in the language chosen at start; a later change of language reaches them
  // at the next start.
  const std::unique_ptr<QTranslator> qt_texts = LoadQtTranslation(app.LanguageIndex());
  if (qt_texts) QApplication::installTranslator(qt_texts.get());
  return app.RunWindow();
}

}  // namespace orvane
