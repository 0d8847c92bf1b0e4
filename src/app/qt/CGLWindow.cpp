// [SECTION] Services and surface format
// [SECTION] Life cycle: create, context, display mode
// [SECTION] Frames
// [SECTION] Closing and teardown
// [SECTION] Events
// [SECTION] Scene notifications

#include "app/qt/CGLWindow.h"

#include <QCoreApplication>
#include <QCursor>
#include <QExposeEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>

#include "app/DisplayModeSetup.h"
#include "app/FrameRateProbe.h"
#include "app/qt/MessageBox.h"
#include "app/qt/SystemKeys.h"
#include "platform/AppDisplay.h"
#include "platform/Clock.h"
#include "StringTable.h"
#include "ui/qt/LoadingWindow.h"

namespace velmora {

namespace {

constexpr const char* kNoPixelFormat = "Can't Find A Suitable PixelFormat.";
constexpr const char* kCantSetPixelFormat = "Can't Set The PixelFormat.";
constexpr const char* kNoContext = "Can't Create A GL Rendering Context.";
constexpr const char* kCantActivate = "Can't activate GLRC.";
constexpr const char* kNoScene = "Can't create the scene.";

PixelSize ToPixels(QSize size)
{
    return {size.width(), size.height()};
}

} // namespace

// [SECTION] Services and surface format

CGLWindow::Services CGLWindow::DesktopServices(SceneFactory makeScene)
{
    Services services;
    services.makeScene = std::move(makeScene);
    const std::shared_ptr<platform::AppDisplay> display = platform::OpenAppDisplay();
    services.displays = display->ModeSwitcher();
    services.showMessage = [](QMessageBox::Icon icon, const QString& text) { ShowMessageBox(icon, text); };
    services.setScreenSaverRunning = [display](bool running) { display->SetScreenSaverRunning(running); };
    services.tickCountMs = [] { return static_cast<int64_t>(platform::TickCountMs()); };
    services.fullScreenClientSize = [] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->availableGeometry().size() : QSize();
    };
    services.frameDrawn = FrameRateProbe::HookFromEnvironment(services.tickCountMs);
    services.frameClock = DesktopFrameClock();
    return services;
}

QSurfaceFormat CGLWindow::RequestedFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setDepthBufferSize(kMinDepthBits);
    // Eight bits are what every driver offers; the scene needs two.
    format.setStencilBufferSize(8);
    return format;
}

CGLWindow::CGLWindow(Services services)
    : services_(std::move(services))
    , frameTimer_(services_.frameClock)
{
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(RequestedFormat());
    setFlags(
        Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint);
    setTitle(QString());
    connect(&frameTimer_, &FrameTimer::FrameDue, this, &CGLWindow::OnTimer);
}

CGLWindow::~CGLWindow()
{
    // A run that never got going still gives back what it took.
    if (phase_ != Phase::Closing && (context_ || scene_))
        Teardown();
}

// [SECTION] Life cycle: create, context, display mode

CGLWindow::CreateResult CGLWindow::Create(const QRect& rect)
{
    phase_ = Phase::Creating;
    setGeometry(rect);
    create();
    if (!handle() || winId() == 0) {
        phase_ = Phase::Idle;
        return CreateResult::WindowFailed;
    }
    show();

    // Unlike a chain that carries on after a failed step, stop at the first
    // one: a scene set up without a current context would draw nowhere.
    if (!CreateContext()) {
        context_.reset();
        destroy();
        phase_ = Phase::Idle;
        return CreateResult::ContextFailed;
    }
    EraseBackground();

    settings_.Load();
    const QSize client = ClientPixels();
    {
        ui::LoadingWindow loading;
        loading.ShowNow();
        scene_ = services_.makeScene(*this);
        if (scene_)
            scene_->Initialize(settings_, client.width(), client.height());
    }
    if (!scene_) {
        FailCreation(kNoScene);
        return CreateResult::ContextFailed;
    }

    ApplyDisplayMode();
    const platform::DisplayMode mode = services_.displays->Current();
    if (mode.width > 0 && mode.height > 0)
        setGeometry(0, 0, mode.width, mode.height);
    // The loading window and the mode change may have taken the context.
    if (!context_->makeCurrent(this)) {
        FailCreation(kCantActivate);
        return CreateResult::ContextFailed;
    }
    const QSize resized = ClientPixels();
    scene_->Resize(resized.width(), resized.height());

    services_.setScreenSaverRunning(true);
    UpdateCursor();
    requestActivate();
    phase_ = Phase::Running;
    frameTimer_.Start();
    if (closePending_)
        RequestClose();
    return CreateResult::Created;
}

void CGLWindow::FailCreation(const char* message)
{
    services_.showMessage(QMessageBox::Critical, QString::fromLatin1(message));
    Teardown();
}

bool CGLWindow::MakeCurrent()
{
    if (!context_)
        return false;
    return QOpenGLContext::currentContext() == context_.get() || context_->makeCurrent(this);
}

bool CGLWindow::CreateContext()
{
    // The surface's configuration was chosen when the native window was made;
    // what it got is what counts.
    const QSurfaceFormat surface = format();
    if (!supportsOpenGL() || surface.renderableType() == QSurfaceFormat::OpenGLES) {
        services_.showMessage(QMessageBox::Critical, QString::fromLatin1(kNoPixelFormat));
        return false;
    }
    if (surface.depthBufferSize() < kMinDepthBits || surface.stencilBufferSize() < kMinStencilBits) {
        services_.showMessage(QMessageBox::Critical, QString::fromLatin1(kCantSetPixelFormat));
        return false;
    }

    context_ = std::make_unique<QOpenGLContext>();
    context_->setFormat(surface);
    if (!context_->create() || context_->isOpenGLES()
        || context_->format().profile() == QSurfaceFormat::CoreProfile) {
        services_.showMessage(QMessageBox::Critical, QString::fromLatin1(kNoContext));
        return false;
    }
    if (!context_->makeCurrent(this)) {
        services_.showMessage(QMessageBox::Critical, QString::fromLatin1(kCantActivate));
        return false;
    }
    return true;
}

void CGLWindow::ApplyDisplayMode()
{
    const DisplayModeOutcome outcome = ApplyConfiguredDisplayMode(
        settings_, *services_.displays, ToPixels(services_.fullScreenClientSize()));
    displayModeChanged_ = outcome.changed;
    if (outcome.saveSettings)
        settings_.Save();
}

QSize CGLWindow::ClientPixels() const
{
    const qreal ratio = devicePixelRatio();
    return {qRound(width() * ratio), qRound(height() * ratio)};
}

// [SECTION] Frames

void CGLWindow::OnTimer()
{
    if (phase_ != Phase::Running || !isExposed())
        return;

    if (slowWatch_.OnFrame(framesDrawn_, services_.tickCountMs())) {
        phase_ = Phase::Warning;
        frameTimer_.Stop();
        UpdateCursor();
        services_.showMessage(QMessageBox::Warning,
            QString::fromUtf8(strings::kSlowMachineWarning.data(),
                static_cast<qsizetype>(strings::kSlowMachineWarning.size())));
        phase_ = Phase::Running;
        UpdateCursor();
        if (closePending_) {
            RequestClose();
            return;
        }
        frameTimer_.Start();
        requestActivate();
    }

    // A frame drawn into whatever context happens to be current would land
    // nowhere; skip it and try again on the next pass.
    if (!MakeCurrent())
        return;
    ++framesDrawn_;
    scene_->DrawFrame();
    context_->swapBuffers(this);

    if (services_.frameDrawn && services_.frameDrawn(framesDrawn_, ToPixels(ClientPixels())))
        RequestClose();
}

// [SECTION] Closing and teardown

void CGLWindow::RequestClose()
{
    if (closeQueued_ || phase_ == Phase::Closing)
        return;
    closeQueued_ = true;
    QMetaObject::invokeMethod(this, &CGLWindow::OnCloseRequest, Qt::QueuedConnection);
}

void CGLWindow::OnCloseRequest()
{
    closeQueued_ = false;
    if (phase_ == Phase::Closing)
        return;
    // Creation and the warning box run nested event loops; the object must
    // survive until they return, so the close waits for them.
    if (phase_ == Phase::Creating || phase_ == Phase::Warning) {
        closePending_ = true;
        return;
    }
    frameTimer_.Stop();
    Teardown();
    Q_EMIT Finished();
    deleteLater();
}

void CGLWindow::Teardown()
{
    phase_ = Phase::Closing;
    frameTimer_.Stop();
    if (services_.displays)
        services_.displays->Restore();
    // GL objects go while their context is current; without it they go with
    // the context itself.
    if (scene_ && MakeCurrent())
        scene_->ReleaseGlObjects();
    if (context_) {
        context_->doneCurrent();
        context_.reset();
    }
    if (scene_)
        scene_->ReleaseBuffers();
    // Unmapping makes the X server expose whatever lies below, so the desktop
    // repaints without being asked.
    destroy();
    services_.setScreenSaverRunning(false);
}

void CGLWindow::EraseBackground()
{
    if (!context_ || !isExposed() || framesDrawn_ != 0)
        return;
    if (!MakeCurrent())
        return;
    QOpenGLFunctions* gl = context_->functions();
    // Leaves the clear colour as the scene set it.
    float saved[4] = {};
    gl->glGetFloatv(GL_COLOR_CLEAR_VALUE, saved);
    gl->glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    gl->glClearColor(saved[0], saved[1], saved[2], saved[3]);
    context_->swapBuffers(this);
}

void CGLWindow::UpdateCursor()
{
    if (ClosingDisabled())
        unsetCursor();
    else
        setCursor(QCursor(Qt::BlankCursor));
}

// [SECTION] Events

bool CGLWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Close:
        // The desktop's close command does not end a screensaver; input does.
        event->ignore();
        return true;
    case QEvent::WindowBlocked:
        // Another program's modal window takes the input away.
        if (!ClosingDisabled())
            RequestClose();
        break;
    default:
        break;
    }
    return QWindow::event(event);
}

void CGLWindow::exposeEvent(QExposeEvent* event)
{
    EraseBackground();
    QWindow::exposeEvent(event);
}

void CGLWindow::resizeEvent(QResizeEvent* event)
{
    QWindow::resizeEvent(event);
    if (!Drawing() || !scene_ || !MakeCurrent())
        return;
    const QSize client = ClientPixels();
    scene_->Resize(client.width(), client.height());
}

void CGLWindow::keyPressEvent(QKeyEvent* event)
{
    if (!IsSystemKey(event->key(), event->modifiers()))
        RequestClose();
    QWindow::keyPressEvent(event);
}

void CGLWindow::mousePressEvent(QMouseEvent* event)
{
    RequestClose();
    QWindow::mousePressEvent(event);
}

void CGLWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (settings_.DemoMode != 0)
        return;
    const QPoint position = event->position().toPoint();
    if (moveWatch_.OnMove({position.x(), position.y()}, phase_ == Phase::Warning))
        RequestClose();
    QWindow::mouseMoveEvent(event);
}

void CGLWindow::focusOutEvent(QFocusEvent* event)
{
    if (Drawing() && !ClosingDisabled())
        RequestClose();
    QWindow::focusOutEvent(event);
}

// [SECTION] Scene notifications

void CGLWindow::ShowError(std::string_view message)
{
    services_.showMessage(
        QMessageBox::Critical, QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

void CGLWindow::ShowPlainMessage(std::string_view message)
{
    services_.showMessage(
        QMessageBox::NoIcon, QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

void CGLWindow::RequestQuit()
{
    // During creation the close waits for Create to return.
    if (phase_ == Phase::Creating)
        closePending_ = true;
    else
        RequestClose();
}

} // namespace velmora
