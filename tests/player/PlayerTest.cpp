// The player on generated movies: play states, positions, frame-exact seeking, unloading and
// reference movies on the core alone, whose answers the test runs as they arrive; the buttons, the
// seek bar and the picture on the control.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <tuple>
#include <type_traits>

#include "MediaReference.h"
#include "TestHarness.h"
#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "media/FrameScaler.h"
#include "player/AudioOutput.h"
#include "player/BRLPlayer.h"
#include "player/PlayerCore.h"
#include "testmovies/AtomBytes.h"
#include "testmovies/TestMovies.h"

using namespace brevio::engine;

namespace {

using brevio::BRLPlayer;
using brevio::IBRLPlayerEvents;
using brevio::player::PlayerCore;
namespace tm = brevio::testmovies;
using brevio::test::WaitUntil;

constexpr int64_t kFrameTicks = 333'667;  // 1001/30000 s, rounded up
constexpr int64_t kSecond = 10'000'000;

class RecordingSink : public IBRLPlayerEvents {
public:
    HRESULT Invoke(int32_t dispId, const std::vector<int32_t>& arguments) override {
        if (dispId == brevio::kDispIdPlayStateChange && arguments.size() == 1) {
            states.push_back(arguments[0]);
        } else if (dispId == brevio::kDispIdPlayerNotify && arguments.size() == 2) {
            notes.emplace_back(arguments[0], arguments[1]);
        }
        return S_OK;
    }
    std::vector<int32_t> states;
    std::vector<std::pair<int32_t, int32_t>> notes;
};

std::filesystem::path Movie(int units, int framesPerUnit,
                            const std::function<void(tm::MovieOptions&)>& more = {}) {
    tm::MovieOptions options;
    options.units = units;
    options.framesPerUnit = framesPerUnit;
    if (more) more(options);
    return tm::MakeMovie(options);
}

// The UI thread's queue of a core under test: its workers post into it from their threads, and
// the test runs what has arrived while it waits.
class TaskQueue {
public:
    void Post(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        posted_.notify_one();
    }
    // Runs tasks as they arrive until the condition holds; false when the time ran out first.
    bool RunUntil(const std::function<bool()>& condition, int timeoutMs) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!condition()) {
            std::unique_lock lock(mutex_);
            if (!posted_.wait_until(lock, until, [&] { return !tasks_.empty(); })) return false;
            const auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
};

// The core driven directly (PlayerTest), or the control shown as the user sees it.
template <class Player>
class PlayerFixture : public ::testing::Test {
protected:
    static constexpr bool kWidget = std::is_same_v<Player, BRLPlayer>;

    void SetUp() override {
        if constexpr (kWidget) {
            player_ = std::make_unique<BRLPlayer>();
            player_->show();
        } else {
            player_ = std::make_unique<PlayerCore>([this](auto task) { tasks_.Post(task); });
        }
        ASSERT_EQ(player_->Advise(&sink_, &cookie_), S_OK);
    }
    void TearDown() override {
        player_.reset();
        Wait([] { return false; }, 0);  // answers still queued for a core that is gone do nothing
    }
    bool Wait(const std::function<bool()>& condition, int timeoutMs = 10000) {
        return kWidget ? WaitUntil(condition, timeoutMs) : tasks_.RunUntil(condition, timeoutMs);
    }
    void Open(const std::filesystem::path& movie) {
        ASSERT_EQ(player_->Open(QString::fromStdString(movie.string())), S_OK);
        ASSERT_TRUE(Wait([&] { return !player_->IsSeekPending(); }));
    }
    int64_t Duration() {  // of the loaded movie
        std::unique_ptr<brevio::IBRLMovie> movie;
        int64_t duration = -1;
        EXPECT_EQ(player_->GetMovie(&movie), S_OK);
        EXPECT_TRUE(movie && movie->GetDuration(&duration) == S_OK);
        return duration;
    }
    int64_t Position() {
        int64_t p = -1;
        EXPECT_EQ(player_->GetPosition(&p), S_OK);
        return p;
    }
    bool WaitForStates(size_t count, int timeoutMs = 10000) {
        return Wait([&] { return sink_.states.size() >= count; }, timeoutMs);
    }
    void Seek(int64_t ticks) {
        ASSERT_EQ(player_->SetPosition(ticks), S_OK);
        ASSERT_TRUE(Wait([&] { return !player_->IsSeekPending(); }));
    }
    // The frame the ffmpeg tool decodes, letter-boxed like the player's picture.
    static QImage Expected(const std::filesystem::path& movie, int frame) {
        auto reference = brevio::mediatest::FfmpegFrameYuv420(movie, frame, 320, 240);
        if (!reference) return {};
        brevio::media::FrameScaler scaler;
        return scaler.Letterbox(reference.get(), QSize(320, 240));
    }
    void MouseOnSeekBar(QEvent::Type type, int x) {
        QWidget* bar = player_->SeekBarWidget();
        const QPointF local(x, bar->height() / 2);
        QMouseEvent event(type, local, bar->mapToGlobal(local), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(bar, &event);
    }

    TaskQueue tasks_;
    std::unique_ptr<Player> player_;
    RecordingSink sink_;
    uint32_t cookie_ = 0;
};

using PlayerTest = PlayerFixture<PlayerCore>;
using PlayerWidgetTest = PlayerFixture<BRLPlayer>;

TEST(PlayerComponent, AnswersWithoutAMovieOrAWindow) {
    brevio::RegisterPlayerComponent();
    std::unique_ptr<brevio::IBRLPlayer> player;
    ASSERT_EQ(brevio::ComponentRegistry::Instance().CreateAs(brevio::kPlayerProgId, player), S_OK);
    int32_t w = 0, h = 0;
    ASSERT_EQ(player->GetControlSize(&w, &h), S_OK);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, BRLPlayer::kControlBarHeight);
    EXPECT_EQ(player->GetControlSize(nullptr, &h), E_POINTER);
    for (int32_t value : {0, 1}) {
        EXPECT_EQ(player->SetAutoStart(value), S_OK);
        EXPECT_EQ(player->SetRepeat(value), S_OK);
        EXPECT_EQ(player->SetNotifications(value), S_OK);
        EXPECT_EQ(player->SetDisplayMode(value), S_OK);
    }
    std::unique_ptr<brevio::IBRLMovie> movie;
    EXPECT_EQ(player->GetMovie(&movie), E_FAIL);

    auto* playback = dynamic_cast<brevio::IBRLPlayback*>(player.get());
    ASSERT_NE(playback, nullptr);
    EXPECT_EQ(playback->Play(), S_FALSE);
    EXPECT_EQ(playback->Pause(), S_FALSE);
    EXPECT_EQ(playback->Stop(), S_FALSE);
    EXPECT_EQ(playback->SetPosition(5), S_FALSE);
    int32_t volume = -1;
    EXPECT_EQ(playback->GetVolume(&volume), S_OK);
    EXPECT_EQ(volume, 10000);
    for (const auto& [set, got] : {std::pair{-5, 0}, {12345, 10000}, {4000, 4000}}) {
        playback->SetVolume(set);
        playback->GetVolume(&volume);
        EXPECT_EQ(volume, got);
    }
}

TEST(PlayerComponent, SeekBarIsTheOnlyWideLowControl) {
    // The preview pane recognises a press on the seek bar by the shape of the pressed window:
    // lower than 2/3 of the control height and wider than half the control width.
    BRLPlayer player;
    int32_t w = 0, h = 0;
    player.GetControlSize(&w, &h);
    EXPECT_EQ(player.height(), 240 + h);
    for (QWidget* child : player.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const bool wideAndLow = child->height() < (2 * h) / 3 && child->width() > w / 2;
        EXPECT_EQ(wideAndLow, child == player.SeekBarWidget()) << child->metaObject()->className();
        EXPECT_TRUE(QRect(0, 0, player.width(), player.height()).contains(child->geometry()));
    }
}

TEST_F(PlayerTest, StatesForPlayPauseStopAndTheEnd) {
    Open(Movie(2, 15));  // 30 frames: 1.001 s
    const int64_t duration = Duration();
    EXPECT_NEAR(duration, 10'010'000, 10'000);

    ASSERT_EQ(player_->Play(), S_OK);
    EXPECT_EQ(player_->Play(), S_OK);  // already playing: no second event
    ASSERT_TRUE(WaitForStates(2));
    ASSERT_EQ(player_->Pause(), S_OK);
    ASSERT_EQ(player_->Stop(), S_OK);
    EXPECT_EQ(Position(), 0);
    ASSERT_EQ(player_->Play(), S_OK);
    ASSERT_TRUE(WaitForStates(6, 15000));
    EXPECT_EQ(sink_.states, (std::vector<int32_t>{5, 2, 4, 6, 2, 6}));
    EXPECT_EQ(Position(), duration - 1);
    // The end shows the last frame.
    ASSERT_TRUE(Wait([&] { return !player_->Picture().isNull(); }));
    EXPECT_GE(brevio::mediatest::Psnr(player_->Picture(), Expected(Movie(2, 15), 29)), 40.0);
    // Playing again starts from the beginning.
    ASSERT_EQ(player_->Play(), S_OK);
    EXPECT_LT(Position(), kSecond / 2);
}

TEST_F(PlayerTest, EventsArriveAfterTheCallAndStopAfterUnadvise) {
    player_->SetNotifications(1);
    Open(Movie(2, 30));
    Seek(15'000'000);
    // Notified: the duration in ms on opening, then where the picture of each seek stands.
    ASSERT_TRUE(Wait([&] { return sink_.notes.size() >= 3; }));
    EXPECT_EQ(sink_.notes,
              (std::vector<std::pair<int32_t, int32_t>>{{1, 2002}, {2, 0}, {2, 1500}}));
    sink_.states.clear();
    ASSERT_EQ(player_->Play(), S_OK);
    EXPECT_TRUE(sink_.states.empty());  // posted, not sent from inside the call
    ASSERT_TRUE(WaitForStates(1));
    EXPECT_EQ(player_->Unadvise(cookie_), S_OK);
    EXPECT_EQ(player_->Unadvise(cookie_), E_INVALIDARG);
    player_->Pause();
    Wait([] { return false; }, 0);
    EXPECT_EQ(sink_.states, (std::vector<int32_t>{2}));
    EXPECT_EQ(player_->Advise(nullptr, &cookie_), E_POINTER);
}

TEST_F(PlayerTest, PositionRisesWhilePlayingAndStandsStillWhenPaused) {
    const auto movie = Movie(2, 90);  // 6 s
    Open(movie);
    ASSERT_EQ(player_->Play(), S_OK);
    Wait([] { return false; }, 150);
    const int64_t p1 = Position();
    Wait([] { return false; }, 300);
    const int64_t p2 = Position();
    EXPECT_GT(p2, p1 + kSecond / 10);
    ASSERT_EQ(player_->Pause(), S_OK);
    const int64_t p3 = Position();
    EXPECT_GE(p3, p2);
    ASSERT_TRUE(Wait([&] { return !player_->IsSeekPending(); }));
    Wait([] { return false; }, 300);
    EXPECT_EQ(Position(), p3);
    // The picture stands at the frame of the paused position.
    const int frame = brevio::mediatest::FrameIndexAt(p3);
    EXPECT_GE(brevio::mediatest::Psnr(player_->Picture(), Expected(movie, frame)), 40.0);
}

class PlayerSeekTest : public PlayerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PlayerSeekTest, SeekShowsTheFrameWhoseSpanHoldsThePosition) {
    const auto movie = Movie(3, 30, [](auto& o) { o.bframes = GetParam(); });
    Open(movie);
    const int64_t unit = 10'010'000;
    const int64_t duration = 3 * unit;
    const std::tuple<int64_t, int64_t, int> cases[] = {
        // seek to, reported position, frame
        {unit + 4 * kFrameTicks + 5000, unit + 4 * kFrameTicks + 5000, 34},
        {2 * unit - 100, 2 * unit - 100, 59},
        {2 * unit, 2 * unit, 60},
        {3 * kFrameTicks + 10, 3 * kFrameTicks + 10, 3},  // backwards within the first unit
        {-12345, 0, 0},
        {duration + kSecond, duration - 1, 89},
        {duration, duration - 1, 89},
        {duration - 1, duration - 1, 89},
    };
    for (const auto& [position, reported, frame] : cases) {
        SCOPED_TRACE(position);
        Seek(position);
        EXPECT_EQ(Position(), reported);
        EXPECT_GE(brevio::mediatest::Psnr(player_->Picture(), Expected(movie, frame)), 40.0);
    }
    // The comparison tells neighbouring frames apart.
    Seek(unit + 4 * kFrameTicks + 5000);
    EXPECT_LT(brevio::mediatest::Psnr(player_->Picture(), Expected(movie, 35)), 40.0);
    // Seeking while paused sends no play state.
    EXPECT_EQ(sink_.states, (std::vector<int32_t>{5}));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutBFrames, PlayerSeekTest, ::testing::Bool());

TEST_F(PlayerTest, PlaysMotionJpegWithAacSound) {
    const auto movie = Movie(2, 15, [](auto& o) { o.mjpeg = true, o.audio = tm::Audio::Aac; });
    Open(movie);
    Seek(20 * kFrameTicks + 1000);
    // Full-range JPEG colours: compared with the tool's own conversion to RGB.
    EXPECT_GE(brevio::mediatest::Psnr(player_->Picture(),
                                      brevio::mediatest::FfmpegFrameRgb(movie, 20, 320, 240)),
              35.0);
    ASSERT_EQ(player_->Play(), S_OK);
    ASSERT_TRUE(WaitForStates(3, 15000));
    EXPECT_EQ(sink_.states, (std::vector<int32_t>{5, 2, 6}));
}

TEST_F(PlayerWidgetTest, ButtonsSeekBarAndPicture) {
    const auto movie = Movie(2, 90);
    Open(movie);
    player_->PlayButton()->click();
    ASSERT_TRUE(WaitForStates(2));
    QWidget* bar = player_->SeekBarWidget();
    MouseOnSeekBar(QEvent::MouseButtonPress, bar->width() / 4);
    MouseOnSeekBar(QEvent::MouseMove, bar->width() / 3);
    MouseOnSeekBar(QEvent::MouseMove, bar->width() / 2);
    MouseOnSeekBar(QEvent::MouseButtonRelease, bar->width() / 2);
    ASSERT_TRUE(WaitForStates(5));
    EXPECT_EQ(sink_.states, (std::vector<int32_t>{5, 2, 4, 9, 2}));
    // Playing goes on from about the middle of the 6 s movie.
    EXPECT_GT(Position(), 25'000'000);
    EXPECT_LT(Position(), 40'000'000);

    // While paused the press and the release only seek: 9 would announce a resumption.
    player_->PlayButton()->click();
    MouseOnSeekBar(QEvent::MouseButtonPress, 4);
    MouseOnSeekBar(QEvent::MouseButtonRelease, 4);
    ASSERT_TRUE(WaitForStates(6));
    ASSERT_TRUE(Wait([&] { return !player_->IsSeekPending(); }));
    Wait([] { return false; }, 100);
    EXPECT_EQ(sink_.states, (std::vector<int32_t>{5, 2, 4, 9, 2, 4}));
    EXPECT_EQ(Position(), 0);
    // The picture of the position, painted above the controls.
    const QImage shot = player_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(320, 240 + BRLPlayer::kControlBarHeight));
    EXPECT_GE(brevio::mediatest::Psnr(shot.copy(0, 0, 320, 240), Expected(movie, 0)), 40.0);
    EXPECT_FALSE(brevio::test::SaveScreenshot(player_.get(), QStringLiteral("player")).isEmpty());
    player_->StopButton()->click();
    ASSERT_TRUE(WaitForStates(7));
    EXPECT_EQ(sink_.states.back(), 6);
}

// What fake sound outputs were given, written on the sound thread.
struct SoundRecord {
    std::mutex mutex;
    std::vector<int16_t> samples;
    size_t Size() {
        std::lock_guard lock(mutex);
        return samples.size();
    }
};

// A sound output that plays in real time without a device: 48 kHz stereo, a 100 ms buffer.
class FakeSink : public brevio::player::IAudioSink {
public:
    static constexpr qint64 kBytesPerSecond = 48000 * 4;
    explicit FakeSink(SoundRecord* record = nullptr) : record_(record) {}
    QAudioFormat Format() const override {
        QAudioFormat format;
        format.setSampleRate(48000);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        return format;
    }
    bool Start() override {
        timer_.start();
        return true;
    }
    qint64 BytesFree() override { return std::max<qint64>(0, kBytesPerSecond / 10 - Queued()); }
    qint64 Write(const char* data, qint64 size) override {
        if (record_) {
            const auto* samples = reinterpret_cast<const int16_t*>(data);
            std::lock_guard lock(record_->mutex);
            record_->samples.insert(record_->samples.end(), samples, samples + size / 2);
        }
        written_ += size;
        return size;
    }
    qint64 ProcessedUSecs() override { return Played() * 1'000'000 / kBytesPerSecond; }
    void SetVolume(double) override {}
    void Stop() override {}

private:
    qint64 Played() const {
        return std::min(written_, timer_.nsecsElapsed() * kBytesPerSecond / 1'000'000'000);
    }
    qint64 Queued() const { return written_ - Played(); }
    QElapsedTimer timer_;
    qint64 written_ = 0;
    SoundRecord* record_;
};

// Plays every movie of the scope with the fake sound output, so the sound leads the clock.
class FakeSoundScope {
public:
    explicit FakeSoundScope(std::atomic<int>* made, SoundRecord* record = nullptr) {
        brevio::player::SetAudioSinkFactory([made, record] {
            made->fetch_add(1);
            return std::unique_ptr<brevio::player::IAudioSink>(std::make_unique<FakeSink>(record));
        });
    }
    ~FakeSoundScope() { brevio::player::SetAudioSinkFactory({}); }
};

TEST_F(PlayerTest, PlaysToTheEndWhenTheSoundEndsEarly) {
    std::atomic<int> sinks{0};
    FakeSoundScope sound(&sinks);
    tm::TempDir dir("shortsound");
    // A 1.5 s picture with 0.4 s of PCM sound, and AAC sound whose last frame is padded.
    const auto shortPcm = dir / "short-pcm.mov";
    std::vector<std::string> command;
    for (const QString& word :
         QStringLiteral("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=30 -f lavfi -i "
                        "sine=frequency=440:sample_rate=48000:duration=0.4 -t 1.5 -map 0:v -map "
                        "1:a -c:v libx264 -pix_fmt yuv420p -c:a pcm_s16le")
             .split(' '))
        command.push_back(word.toStdString());
    command.push_back(shortPcm.string());
    const auto made = tm::RunCommand(command);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const auto aac = Movie(2, 20, [](auto& o) { o.audio = tm::Audio::Aac; });
    for (const auto& movie : {shortPcm, aac}) {
        SCOPED_TRACE(movie.string());
        sink_.states.clear();
        Open(movie);
        const int64_t duration = Duration();
        const int before = sinks.load();
        QElapsedTimer timer;
        timer.start();
        ASSERT_EQ(player_->Play(), S_OK);
        ASSERT_TRUE(Wait([&] { return !sink_.states.empty() && sink_.states.back() == 6; },
                         duration / 10'000 + 3000));
        EXPECT_LT(timer.elapsed(), duration / 10'000 + 1000);
        EXPECT_EQ(Position(), duration - 1);
        EXPECT_EQ(sinks.load(), before + 1);  // the sound did lead the clock
    }
}

TEST_F(PlayerTest, ADecodeFailureWhilePlayingPausesBeforeItIsReported) {
    // A movie whose last part was wiped on disk: its frames are zeros.
    tm::TempDir dir("cutoff");
    const auto movie =
        tm::CopyMovie(Movie(2, 45, [](auto& o) { o.moovFirst = true, o.audio = tm::Audio::None; }),
                      dir / "cutoff.mov");
    {
        const auto size = std::filesystem::file_size(movie);
        std::fstream file(movie, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(size * 6 / 10));
        const std::string zeros(size - size * 6 / 10, '\0');
        file.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    }
    Open(movie);
    ASSERT_EQ(player_->Play(), S_OK);
    ASSERT_TRUE(WaitForStates(4, 15000));
    EXPECT_EQ(sink_.states, (std::vector<int32_t>{5, 2, 4, 8}));
    const int64_t stopped = Position();
    EXPECT_GT(stopped, kSecond / 2);
    EXPECT_LT(stopped, 3 * kSecond);
}

TEST_F(PlayerTest, OpenEmptyUnloadsAndBadFilesLoadNothing) {
    Open(Movie(1, 30));
    ASSERT_FALSE(player_->Picture().isNull());
    ASSERT_EQ(player_->Open(QString()), S_OK);
    ASSERT_TRUE(WaitForStates(2));
    EXPECT_EQ(sink_.states, (std::vector<int32_t>{5, 7}));
    EXPECT_TRUE(player_->Picture().isNull());
    std::unique_ptr<brevio::IBRLMovie> movie;
    EXPECT_EQ(player_->GetMovie(&movie), E_FAIL);
    EXPECT_EQ(player_->Play(), S_FALSE);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(player_->Open(QString()), S_OK);  // nothing loaded: nothing to tell

    EXPECT_EQ(player_->Open(QStringLiteral("/nonexistent/movie.mov")), E_FAIL);
    EXPECT_EQ(player_->GetMovie(&movie), E_FAIL);
    // A failed open replaces a loaded movie with nothing.
    Open(Movie(1, 30));
    EXPECT_EQ(player_->Open(QStringLiteral("/nonexistent/movie.mov")), E_FAIL);
    ASSERT_TRUE(WaitForStates(4));
    EXPECT_EQ(sink_.states, (std::vector<int32_t>{5, 7, 5, 7}));
    EXPECT_EQ(player_->GetMovie(&movie), E_FAIL);
}

TEST_F(PlayerTest, ReferenceMoviePlaysOnlyTheKeptUnits) {
    std::atomic<int> sinks{0};
    FakeSoundScope sound(&sinks);  // the joined units' sound leads the clock
    const auto source = Movie(4, 30);
    brevio::test::TempDir dir(QStringLiteral("playerref"));
    const std::filesystem::path reference = dir.file(QStringLiteral("ref.mov")).toStdString();
    {
        CVarnoMovFile file{FileLocator(source)};
        ASSERT_TRUE(file.IsValid()) << file.GetError();
        CBrevioMovie brevio(&file);
        ASSERT_TRUE(brevio.IsValid()) << brevio.GetError();
        ASSERT_TRUE(brevio.SetEditingState({1, 3}));
        CBrevioMovFileEditor editor(file);
        ASSERT_EQ(editor.CreateReferenceMovFile(FileLocator(reference), &brevio), CREATEMOVFILE_OK);
    }
    Open(reference);
    EXPECT_NEAR(Duration(), 20'020'000, 10'000);
    // The start shows unit 1 of the source, the second unit its unit 3.
    EXPECT_GE(brevio::mediatest::Psnr(player_->Picture(), Expected(source, 30)), 40.0);
    Seek(10'010'000 + 2 * kFrameTicks + 100);
    EXPECT_GE(brevio::mediatest::Psnr(player_->Picture(), Expected(source, 92)), 40.0);
    // Playing from there ends after the one remaining unit.
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(player_->Play(), S_OK);
    ASSERT_TRUE(WaitForStates(3, 15000));
    EXPECT_EQ(sink_.states, (std::vector<int32_t>{5, 2, 6}));
    EXPECT_LT(timer.elapsed(), 2500);
    EXPECT_EQ(sinks.load(), 1);
    EXPECT_GE(brevio::mediatest::Psnr(player_->Picture(), Expected(source, 119)), 40.0);
}

// One entry of an edit list: movie time scale duration, media time (-1: empty).
struct Edit {
    uint32_t duration;
    int32_t mediaTime;
};

// The atoms of bytes [begin, end) with the edit list of each track replaced by the next of
// `edits`; `track` counts the tracks passed.
std::vector<uint8_t> WithEdits(const std::vector<uint8_t>& bytes, size_t begin, size_t end,
                               const std::vector<std::vector<Edit>>& edits, size_t& track) {
    std::vector<uint8_t> out;
    for (size_t at = begin; at + 8 <= end;) {
        const uint32_t size = uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
                              uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
        const std::string type(bytes.begin() + static_cast<ptrdiff_t>(at + 4),
                               bytes.begin() + static_cast<ptrdiff_t>(at + 8));
        if (size < 8 || at + size > end) throw std::runtime_error("bad atom");
        if (type == "moov" || type == "trak" || type == "edts") {
            const auto inner = WithEdits(bytes, at + 8, at + size, edits, track);
            const auto box = tm::Box(type.c_str(), inner);
            out.insert(out.end(), box.begin(), box.end());
            if (type == "trak") ++track;
        } else if (type == "elst") {
            std::vector<uint8_t> payload;
            tm::Put32(payload, 0);
            tm::Put32(payload, static_cast<uint32_t>(edits.at(track).size()));
            for (const Edit& e : edits.at(track)) {
                tm::Put32(payload, e.duration);
                tm::Put32(payload, static_cast<uint32_t>(e.mediaTime));
                tm::Put32(payload, 0x10000);
            }
            const auto box = tm::Box("elst", payload);
            out.insert(out.end(), box.begin(), box.end());
        } else {
            out.insert(out.end(), bytes.begin() + static_cast<ptrdiff_t>(at),
                       bytes.begin() + static_cast<ptrdiff_t>(at + size));
        }
        at += size;
    }
    return out;
}

// Gives every track of a movie whose movie atom comes last (so no sample moves) its own edit list.
void SetEditLists(const std::filesystem::path& movie, const std::vector<std::vector<Edit>>& edits) {
    const auto bytes = tm::ReadFile(movie);
    const size_t moov = tm::FindAtomOffset(bytes, "moov");
    ASSERT_NE(moov, std::string::npos);
    ASSERT_GT(moov, tm::FindAtomOffset(bytes, "mdat"));
    size_t track = 0;
    auto rebuilt = WithEdits(bytes, moov, bytes.size(), edits, track);
    ASSERT_EQ(track, edits.size());
    rebuilt.insert(rebuilt.begin(), bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(moov));
    tm::WriteFile(movie, rebuilt);
}

TEST_F(PlayerTest, SoundAndPictureFollowTheEditLists) {
    std::atomic<int> sinks{0};
    SoundRecord record;  // 48 kHz stereo from the play position on
    FakeSoundScope sound(&sinks, &record);
    // Units of 1.001 s whose sound starts 0.5 s late (an empty edit before it).
    tm::MovieOptions late;
    late.units = 3;
    late.framesPerUnit = 30;
    late.bframes = true;
    late.audioDelayMs = 500;
    const auto pcm = tm::MakeMovie(late);
    late.audio = tm::Audio::Aac;
    const auto aac = tm::MakeMovie(late);
    // Units 0 and 2 kept by the engine's cut: the sound's empty edit stays before unit 0's sound,
    // and unit 2's sound follows it in the written media.
    brevio::test::TempDir dir(QStringLiteral("playeredits"));
    const std::filesystem::path cut = dir.file(QStringLiteral("cut.mov")).toStdString();
    {
        CVarnoMovFile file{FileLocator(pcm)};
        CBrevioMovie brevio(&file);
        ASSERT_TRUE(brevio.IsValid()) << brevio.GetError();
        ASSERT_TRUE(brevio.SetEditingState({0, 2}));
        CBrevioMovFileEditor editor(file);
        ASSERT_EQ(editor.CreateNewMovFile(FileLocator(cut), &brevio), CREATEMOVFILE_OK);
    }
    // The same picture and sound played as unit 2, then unit 0 (whose sound starts late).
    late.bframes = false;
    late.audio = tm::Audio::Pcm;
    const auto shuffled = tm::CopyMovie(tm::MakeMovie(late), dir.path().toStdString() + "/s.mov");
    SetEditLists(shuffled, {{{1001, 60060}, {1001, 0}}, {{1001, 72096}, {500, -1}, {501, 0}}});
    // Pictures: the frame the tool shows at each position.
    for (const auto& movie : {cut, shuffled}) {
        const auto shown = tm::DecodedFrames(movie, "v:0");
        ASSERT_EQ(shown.size(), 60U);
        Open(movie);
        for (int64_t at : {0LL, 4'000'000LL, 10'011'000LL, 15'000'000LL, 20'000'000LL}) {
            SCOPED_TRACE(movie.filename().string() + " at " + std::to_string(at));
            Seek(at);
            int index = 0;
            while (index + 1 < static_cast<int>(shown.size()) &&
                   shown[static_cast<size_t>(index) + 1].time * kSecond <= static_cast<double>(at))
                ++index;
            EXPECT_GE(brevio::mediatest::Psnr(player_->Picture(), Expected(movie, index)), 40.0);
        }
    }
    // The tool's decoding of the sound media, which starts at movie time 0.5 s.
    const auto media = tm::PcmS16(pcm);
    ASSERT_FALSE(media.empty());
    constexpr int64_t kRate = 48000;
    struct Case {
        std::filesystem::path movie;
        int64_t from;        // play position
        int64_t soundFrame;  // output frame (48 kHz) where the sound begins
        int64_t mediaFrame;  // its frame in `media`; -1: AAC, only the onset is compared
    };
    const Case cases[] = {
        {pcm, 0, kRate / 2, 0},
        {pcm, 2'000'000, kRate / 2, 0},  // from inside the empty edit
        {pcm, kSecond, kRate, kRate / 2},
        {aac, 0, kRate / 2, -1},
        {cut, 0, kRate / 2, 0},
        // The second kept unit plays the source's unit 2, 2.002 s in.
        {cut, 10'010'000, 48'048, 96'096 - kRate / 2},
        {shuffled, 0, 0, 72'096},
        {shuffled, 10'010'000, 72'048, 0},
    };
    constexpr int64_t kCompared = kRate / 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.movie.filename().string() + " from " + std::to_string(c.from));
        Open(c.movie);
        Seek(c.from);
        {
            std::lock_guard lock(record.mutex);
            record.samples.clear();
        }
        const int64_t first = c.from * kRate / kSecond;  // the output frame played first
        const auto wanted = static_cast<size_t>(2 * (c.soundFrame - first + kCompared));
        ASSERT_EQ(player_->Play(), S_OK);
        ASSERT_TRUE(Wait([&] { return record.Size() >= wanted; }, 5000));
        ASSERT_EQ(player_->Pause(), S_OK);
        std::vector<int16_t> heard;
        {
            std::lock_guard lock(record.mutex);
            heard = record.samples;
        }
        const auto onset = static_cast<size_t>(2 * (c.soundFrame - first));
        if (c.mediaFrame < 0) {
            const auto loud = std::find_if(heard.begin(), heard.end(),
                                           [](int16_t v) { return std::abs(v) > 256; });
            EXPECT_NEAR(static_cast<double>(loud - heard.begin()), static_cast<double>(onset),
                        2 * 1024.0);  // one AAC frame
            continue;
        }
        EXPECT_TRUE(std::all_of(heard.begin(), heard.begin() + static_cast<ptrdiff_t>(onset),
                                [](int16_t v) { return v == 0; }));
        EXPECT_TRUE(std::equal(heard.begin() + static_cast<ptrdiff_t>(onset), heard.end(),
                               media.begin() + 2 * c.mediaFrame));
    }
}

}  // namespace
