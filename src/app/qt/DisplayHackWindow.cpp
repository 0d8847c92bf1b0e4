#include "app/qt/DisplayHackWindow.h"

#include <QExposeEvent>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QResizeEvent>

#include <cstdio>
#include <string>

#include "app/qt/CGLWindow.h"

namespace velmora {

namespace {

constexpr int kHostCheckIntervalMs = 500;

std::string HexId(uint64_t window)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(window));
    return text;
}

} // namespace

DisplayHackWindow::DisplayHackWindow(SceneFactory makeScene, const DisplayHackRequest& request,
    ErrorSink reportError, FramePacer::Clock frameClock)
    : makeScene_(std::move(makeScene))
    , request_(request)
    , reportError_(std::move(reportError))
    , frameTimer_(std::move(frameClock))
{
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(CGLWindow::RequestedFormat());
    connect(&frameTimer_, &FrameTimer::FrameDue, this, &DisplayHackWindow::OnTimer);
    // Structure events can be missed (an event selection that another
    // client's id reuse undid), so the host's window is also looked at now
    // and then; one round trip every half second costs nothing.
    hostCheckTimer_.setInterval(kHostCheckIntervalMs);
    connect(&hostCheckTimer_, &QTimer::timeout, this, &DisplayHackWindow::CheckHostWindow);
}

DisplayHackWindow::~DisplayHackWindow()
{
    Teardown();
    // The foreign window object would take this one with it as its child.
    setParent(nullptr);
    host_.reset();
}

bool DisplayHackWindow::Create()
{
    display_ = platform::OpenAppDisplay();
    if (!display_->Connected()) {
        reportError_("drawing into a host's window needs an X display");
        return false;
    }
    const bool onRoot = request_.window == 0;
    hostId_ = onRoot ? display_->RootWindow() : request_.window;
    const std::optional<platform::HostWindowSize> hostSize = display_->QueryWindowSize(hostId_);
    if (!hostSize || !display_->WatchWindow(hostId_)) {
        reportError_("there is no window " + HexId(hostId_) + " to draw into");
        return false;
    }
    qApp->installNativeEventFilter(this);

    // Input passes through to the host, which alone decides when the run ends.
    Qt::WindowFlags flags
        = Qt::FramelessWindowHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus;
    if (onRoot) {
        // A child of the root is a top-level window: kept out of the window
        // manager's hands and below every other window, like a backdrop.
        flags |= Qt::Window | Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnBottomHint;
    } else {
        host_.reset(QWindow::fromWinId(hostId_));
        setParent(host_.get());
    }
    setFlags(flags);
    creating_ = true;
    FollowHostSize(*hostSize);
    create();
    if (!handle() || winId() == 0) {
        creating_ = false;
        reportError_("cannot create a window inside " + HexId(hostId_));
        return false;
    }
    show();
    if (onRoot)
        lower();

    const bool ready = [this] {
        if (!CreateContext())
            return false;
        settings_.Load();
        if (request_.animationSpeed)
            settings_.AnimationSpeed = *request_.animationSpeed;
        if (request_.camMode)
            settings_.CamMode = *request_.camMode;
        scene_ = makeScene_(*this);
        if (!scene_) {
            reportError_("no scene to draw");
            return false;
        }
        const QSize client = ClientPixels();
        scene_->Initialize(settings_, client.width(), client.height());
        if (quitDuringCreate_)
            return false;
        scene_->Resize(client.width(), client.height());
        return true;
    }();
    creating_ = false;
    if (!ready) {
        Teardown();
        return false;
    }
    running_ = true;
    hostCheckTimer_.start();
    if (isExposed())
        frameTimer_.Start();
    return true;
}

bool DisplayHackWindow::CreateContext()
{
    const QSurfaceFormat surface = format();
    if (!supportsOpenGL() || surface.renderableType() == QSurfaceFormat::OpenGLES
        || surface.depthBufferSize() < CGLWindow::kMinDepthBits
        || surface.stencilBufferSize() < CGLWindow::kMinStencilBits) {
        reportError_("no OpenGL pixel format with depth and stencil buffers for this window");
        return false;
    }
    context_ = std::make_unique<QOpenGLContext>();
    context_->setFormat(surface);
    if (!context_->create() || context_->isOpenGLES()
        || context_->format().profile() == QSurfaceFormat::CoreProfile) {
        reportError_("cannot create an OpenGL context with the fixed-function pipeline");
        return false;
    }
    if (!context_->makeCurrent(this)) {
        reportError_("cannot make the OpenGL context current");
        return false;
    }
    return true;
}

bool DisplayHackWindow::MakeCurrent()
{
    if (!context_)
        return false;
    return QOpenGLContext::currentContext() == context_.get() || context_->makeCurrent(this);
}

QSize DisplayHackWindow::ClientPixels() const
{
    const qreal ratio = devicePixelRatio();
    return {qRound(width() * ratio), qRound(height() * ratio)};
}

void DisplayHackWindow::FollowHostSize(platform::HostWindowSize size)
{
    const qreal ratio = devicePixelRatio() > 0 ? devicePixelRatio() : 1.0;
    const QRect wanted(0, 0, qMax(1, qRound(size.width / ratio)), qMax(1, qRound(size.height / ratio)));
    if (geometry() != wanted)
        setGeometry(wanted);
}

void DisplayHackWindow::OnTimer()
{
    if (!running_ || !isExposed()) {
        frameTimer_.Stop(); // an unmapped window draws nothing; the expose restarts it
        return;
    }
    if (!MakeCurrent())
        return;
    ++framesDrawn_;
    scene_->DrawFrame();
    context_->swapBuffers(this);
}

void DisplayHackWindow::exposeEvent(QExposeEvent* event)
{
    QWindow::exposeEvent(event);
    if (running_ && isExposed() && !frameTimer_.IsActive())
        frameTimer_.Start();
}

void DisplayHackWindow::resizeEvent(QResizeEvent* event)
{
    QWindow::resizeEvent(event);
    if (!running_ || !scene_ || !MakeCurrent())
        return;
    const QSize client = ClientPixels();
    scene_->Resize(client.width(), client.height());
}

bool DisplayHackWindow::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (stopped_ || !display_)
        return false;
    platform::HostWindowSize size;
    const std::string_view type(eventType.constData(), static_cast<std::size_t>(eventType.size()));
    if (display_->ReadWindowEvent(type, message, hostId_, size) != platform::HostWindowChange::None
        && !checkQueued_) {
        // The event may be old news about an earlier window that had the
        // same id (the server reuses the ids of closed clients), so the
        // server is asked how the window is now.
        checkQueued_ = true;
        QMetaObject::invokeMethod(this, &DisplayHackWindow::CheckHostWindow, Qt::QueuedConnection);
    }
    return false; // the toolkit sees every event as before
}

void DisplayHackWindow::CheckHostWindow()
{
    checkQueued_ = false;
    if (stopped_ || !display_)
        return;
    const std::optional<platform::HostWindowSize> size = display_->QueryWindowSize(hostId_);
    if (!size) {
        Stop(0); // the host ended the run by taking its window away
        return;
    }
    if (size->width > 0 && size->height > 0)
        FollowHostSize(*size);
}

void DisplayHackWindow::Stop(int exitCode)
{
    if (stopped_)
        return;
    Teardown();
    Q_EMIT Finished(exitCode);
}

void DisplayHackWindow::Teardown()
{
    if (stopped_)
        return;
    stopped_ = true;
    running_ = false;
    frameTimer_.Stop();
    hostCheckTimer_.stop();
    if (qApp)
        qApp->removeNativeEventFilter(this);
    if (context_) {
        // The scene's GL objects go while their context is current; after
        // that the scene frees memory only.
        if (scene_ && MakeCurrent())
            scene_->ReleaseGlObjects();
        context_->doneCurrent();
        context_.reset();
    }
    if (scene_) {
        scene_->ReleaseBuffers();
        scene_.reset();
    }
    destroy();
}

void DisplayHackWindow::ShowError(std::string_view message)
{
    reportError_(message);
}

void DisplayHackWindow::RequestQuit()
{
    if (creating_)
        quitDuringCreate_ = true;
    else
        QMetaObject::invokeMethod(
            this, [this] { Stop(1); }, Qt::QueuedConnection);
}

} // namespace velmora
