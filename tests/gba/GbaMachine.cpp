#include "GbaMachine.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <stdexcept>

#include <mgba-util/vfs.h>
#include <mgba/core/blip_buf.h>
#include <mgba/core/config.h>
#include <mgba/core/core.h>
#include <mgba/core/log.h>
#include <mgba/gba/interface.h>

#include "app/Font.h"
#include "app/TextScreen.h"

namespace rix::test {

namespace {

// The core logs through one process-wide logger; it collects into the machine that runs.
std::vector<std::string>* gErrorSink = nullptr;

void CollectLog(mLogger*, int category, mLogLevel level, const char* format, va_list args) {
    if (gErrorSink == nullptr || (level & (mLOG_FATAL | mLOG_ERROR | mLOG_GAME_ERROR)) == 0) {
        return;
    }
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    gErrorSink->push_back(std::string(mLogCategoryName(category)) + ": " + text);
}

mLogger gLogger = {CollectLog, nullptr};

// Sets the sink for the duration of a call into the core.
class SinkScope {
public:
    explicit SinkScope(std::vector<std::string>& sink) { gErrorSink = &sink; }
    ~SinkScope() { gErrorSink = nullptr; }
    SinkScope(const SinkScope&) = delete;
    SinkScope& operator=(const SinkScope&) = delete;
};

} // namespace

GbaMachine::GbaMachine(std::vector<std::uint8_t> cartridge)
    : cartridge_(std::move(cartridge)), video_(std::size_t(kGbaWidth) * kGbaHeight) {
    mLogSetDefaultLogger(&gLogger);
    SinkScope sink(errors_);
    core_ = mCoreCreate(mPLATFORM_GBA);
    if (core_ == nullptr || !core_->init(core_)) {
        throw std::runtime_error("mGBA core could not be created");
    }
    mCoreInitConfig(core_, nullptr);
    mCoreConfigSetIntValue(&core_->config, "useBios", 0);
    mCoreConfigSetIntValue(&core_->config, "skipBios", 1);
    // A foreign configuration starts the core's master volume at 0: the sound would be silent.
    mCoreConfigSetIntValue(&core_->config, "volume", 0x100);
    mCoreLoadForeignConfig(core_, &core_->config);
    core_->setVideoBuffer(core_, video_.data(), kGbaWidth);
    VFile* file = VFileFromConstMemory(cartridge_.data(), cartridge_.size());
    if (file == nullptr || !core_->loadROM(core_, file)) {
        mCoreConfigDeinit(&core_->config);
        core_->deinit(core_);
        throw std::runtime_error("mGBA did not accept the cartridge image");
    }
    core_->reset(core_);
    // Room for more than a frame's samples: they are collected after every frame.
    core_->setAudioBufferSize(core_, 4096);
    for (int side = 0; side < 2; ++side) {
        blip_set_rates(core_->getAudioChannel(core_, side), core_->frequency(core_), kAudioRate);
    }
}

GbaMachine::~GbaMachine() {
    SinkScope sink(errors_);
    core_->unloadROM(core_);
    mCoreConfigDeinit(&core_->config);
    core_->deinit(core_);
}

void GbaMachine::RunFrames(int count) {
    SinkScope sink(errors_);
    for (int i = 0; i < count; ++i) {
        core_->runFrame(core_);
        ++frames_;
        if (!captureAudio_) {
            continue;
        }
        // Collected every frame: the core stops adding samples once its buffer is full.
        blip_t* left = core_->getAudioChannel(core_, 0);
        blip_t* right = core_->getAudioChannel(core_, 1);
        const int count = blip_samples_avail(left);
        std::vector<short> l(std::size_t(count) + 1), r(std::size_t(count) + 1);
        const int got = blip_read_samples(left, l.data(), count, 0);
        blip_read_samples(right, r.data(), got, 0);
        for (int k = 0; k < got; ++k) {
            audio_.push_back(std::int16_t((int(l[k]) + int(r[k])) / 2));
        }
    }
}

void GbaMachine::CaptureAudio(bool on) {
    if (on && !captureAudio_) {
        // What the core kept while nobody listened is not part of it.
        blip_clear(core_->getAudioChannel(core_, 0));
        blip_clear(core_->getAudioChannel(core_, 1));
        audio_.clear();
    }
    captureAudio_ = on;
}

std::vector<std::int16_t> GbaMachine::TakeAudio() {
    std::vector<std::int16_t> taken;
    taken.swap(audio_);
    return taken;
}

int GbaMachine::RunUntil(const std::function<bool()>& done, int maxFrames) {
    for (int frames = 0; frames <= maxFrames; ++frames) {
        if (done()) {
            return frames;
        }
        if (frames < maxFrames) {
            RunFrames(1);
        }
    }
    return -1;
}

void GbaMachine::SetKeys(std::uint16_t keys) {
    core_->setKeys(core_, keys);
}

void GbaMachine::Tap(std::uint16_t keys, int settle) {
    SetKeys(keys);
    RunFrames(2);
    SetKeys(0);
    RunFrames(settle);
}

std::uint8_t GbaMachine::Read8(std::uint32_t address) {
    SinkScope sink(errors_);
    return std::uint8_t(core_->busRead8(core_, address));
}

std::uint32_t GbaMachine::Read32(std::uint32_t address) {
    SinkScope sink(errors_);
    return core_->busRead32(core_, address);
}

void GbaMachine::Write32(std::uint32_t address, std::uint32_t value) {
    core_->busWrite32(core_, address, value);
}

std::uint32_t GbaMachine::Pc() const {
    std::int32_t pc = 0;
    core_->readRegister(core_, "pc", &pc);
    return std::uint32_t(pc);
}

RgbImage GbaMachine::Screen() const {
    RgbImage image;
    image.width = kGbaWidth;
    image.height = kGbaHeight;
    image.rgb.reserve(video_.size() * 3);
    for (std::uint32_t pixel : video_) { // 0x??BBGGRR
        image.rgb.push_back(std::uint8_t(pixel));
        image.rgb.push_back(std::uint8_t(pixel >> 8));
        image.rgb.push_back(std::uint8_t(pixel >> 16));
    }
    return image;
}

std::vector<std::string> GbaMachine::Text() const {
    return ReadScreenText(Screen());
}

std::vector<std::string> ReadScreenText(const RgbImage& screen) {
    namespace app = rix::gba;
    static const std::map<std::uint64_t, char> glyphs = [] {
        std::map<std::uint64_t, char> m;
        for (int g = 0; g < app::kGlyphCount; ++g) {
            std::uint64_t key = 0;
            for (int r = 0; r < app::kGlyphHeight; ++r) {
                key |= std::uint64_t(app::kFont.rows[g][r]) << (8 * r);
            }
            m.emplace(key, char(app::kFirstGlyph + g));
        }
        return m;
    }();
    auto pixel = [&](int x, int y) {
        const std::size_t at = (std::size_t(y) * screen.width + x) * 3;
        return std::uint32_t(screen.rgb[at]) | std::uint32_t(screen.rgb[at + 1]) << 8 |
               std::uint32_t(screen.rgb[at + 2]) << 16;
    };
    std::vector<std::string> rows;
    for (int row = 0; row < app::kRows; ++row) {
        std::string text;
        for (int col = 0; col < app::kColumns; ++col) {
            const int x0 = col * app::kCellWidth;
            const int y0 = row * app::kCellHeight;
            // The cell's sixth column is always paper.
            const std::uint32_t paper = pixel(x0 + app::kGlyphWidth, y0);
            std::uint64_t key = 0;
            for (int r = 0; r < app::kGlyphHeight; ++r) {
                for (int x = 0; x < app::kGlyphWidth; ++x) {
                    if (pixel(x0 + x, y0 + r) != paper) {
                        key |= std::uint64_t(1) << (8 * r + x);
                    }
                }
            }
            const auto found = glyphs.find(key);
            text.push_back(found != glyphs.end() ? found->second : '\x7f');
        }
        text.erase(text.find_last_not_of(' ') + 1);
        rows.push_back(text);
    }
    return rows;
}

} // namespace rix::test
