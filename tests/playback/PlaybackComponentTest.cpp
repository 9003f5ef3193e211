// The playback component check that the entry point runs before it opens a movie.
#include <gtest/gtest.h>

#include <stdexcept>

#include "playback/PlaybackComponent.h"

namespace {

using brevio::CheckPlaybackComponent;
using brevio::ComponentRegistry;
using brevio::IComponent;
using brevio::IPlaybackVersion;
using brevio::kPlaybackComponentName;

class FixedVersion : public IPlaybackVersion {
public:
    FixedVersion(uint32_t version, HRESULT result) : version_(version), result_(result) {}
    HRESULT GetVersion(uint32_t* version) override {
        if (FAILED(result_)) return result_;
        *version = version_;
        return S_OK;
    }

private:
    uint32_t version_;
    HRESULT result_;
};

class PlaybackCheck : public ::testing::Test {
protected:
    void TearDown() override { brevio::RegisterPlaybackComponent(); }
    static void RegisterVersion(uint32_t version, HRESULT result = S_OK) {
        ComponentRegistry::Instance().Register(
            kPlaybackComponentName, [version, result](std::unique_ptr<IComponent>& out) {
                out = std::make_unique<FixedVersion>(version, result);
                return S_OK;
            });
    }
};

TEST_F(PlaybackCheck, PassesWithTheRealComponent) {
    brevio::RegisterPlaybackComponent();
    EXPECT_TRUE(CheckPlaybackComponent());
    std::unique_ptr<IPlaybackVersion> component;
    ASSERT_EQ(ComponentRegistry::Instance().CreateAs(kPlaybackComponentName, component), S_OK);
    uint32_t version = 0;
    EXPECT_EQ(component->GetVersion(&version), S_OK);
    EXPECT_GE(version, 0x10009u);
    EXPECT_EQ(component->GetVersion(nullptr), E_POINTER);
}

TEST_F(PlaybackCheck, FailsWhenTheComponentIsMissingOrBroken) {
    ComponentRegistry::Instance().Unregister(kPlaybackComponentName);
    EXPECT_FALSE(CheckPlaybackComponent());

    ComponentRegistry::Instance().Register(kPlaybackComponentName,
                                           [](std::unique_ptr<IComponent>&) { return E_FAIL; });
    EXPECT_FALSE(CheckPlaybackComponent());

    // An object without the version query.
    ComponentRegistry::Instance().Register(kPlaybackComponentName,
                                           [](std::unique_ptr<IComponent>& out) {
                                               out = std::make_unique<IComponent>();
                                               return S_OK;
                                           });
    EXPECT_FALSE(CheckPlaybackComponent());

    ComponentRegistry::Instance().Register(
        kPlaybackComponentName,
        [](std::unique_ptr<IComponent>&) -> HRESULT { throw std::runtime_error("broken"); });
    EXPECT_FALSE(CheckPlaybackComponent());

    RegisterVersion(0x10009, E_FAIL);
    EXPECT_FALSE(CheckPlaybackComponent());
}

TEST_F(PlaybackCheck, NeedsVersion0x10009) {
    RegisterVersion(0x10008);
    EXPECT_FALSE(CheckPlaybackComponent());
    RegisterVersion(0x10009);
    EXPECT_TRUE(CheckPlaybackComponent());
    RegisterVersion(0x20000);
    EXPECT_TRUE(CheckPlaybackComponent());
    RegisterVersion(0x80000000u);  // compared unsigned
    EXPECT_TRUE(CheckPlaybackComponent());
}

TEST_F(PlaybackCheck, CreationFailsWhenADecoderIsMissing) {
    for (AVCodecID missing : {AV_CODEC_ID_H264, AV_CODEC_ID_MJPEG, AV_CODEC_ID_PCM_S16LE,
                              AV_CODEC_ID_PCM_S16BE, AV_CODEC_ID_AAC}) {
        SCOPED_TRACE(static_cast<int>(missing));
        auto finder = [missing](AVCodecID id) { return id != missing; };
        std::unique_ptr<IComponent> out;
        EXPECT_EQ(brevio::PlaybackComponent::Create(finder, out), E_FAIL);
        EXPECT_EQ(out, nullptr);
        ComponentRegistry::Instance().Register(
            kPlaybackComponentName, [finder](std::unique_ptr<IComponent>& o) {
                return brevio::PlaybackComponent::Create(finder, o);
            });
        EXPECT_FALSE(CheckPlaybackComponent());
    }
    std::unique_ptr<IComponent> out;
    EXPECT_EQ(brevio::PlaybackComponent::Create([](AVCodecID) { return true; }, out), S_OK);
    EXPECT_NE(out, nullptr);
}

}  // namespace
