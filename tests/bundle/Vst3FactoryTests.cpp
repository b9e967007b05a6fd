// The built Olvar.vst3, opened the way a VST3 host opens it: dlopen, ModuleEntry, GetPluginFactory.

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstcomponent.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <cstring>
#include <string>

using namespace Steinberg;

namespace
{
using Identifier = std::array<unsigned char, 16>;

const Identifier componentId { 'V', 'S', 'T', 'X', 'x', 'b', 'l', 'o', 'l', 'v', 'a', 'r', 0, 0, 0, 0 };
const Identifier controllerId { 'V', 'S', 'E', 'X', 'x', 'b', 'l', 'o', 'l', 'v', 'a', 'r', 0, 0, 0, 0 };

Identifier toIdentifier (const TUID id)
{
    Identifier result {};
    std::memcpy (result.data(), id, result.size());
    return result;
}

std::u16string fromUtf16 (const char16* text)
{
    return std::u16string (reinterpret_cast<const char16_t*> (text));
}

std::u16string widen (const std::string& text)
{
    return std::u16string (text.begin(), text.end());
}

class Vst3Module
{
public:
    Vst3Module()
    {
        handle = dlopen (OLVAR_VST3_MODULE, RTLD_NOW | RTLD_LOCAL);

        if (handle == nullptr)
            return;

        using Entry = bool (*) (void*);
        using GetFactory = IPluginFactory* (PLUGIN_API*)();

        auto entry = reinterpret_cast<Entry> (dlsym (handle, "ModuleEntry"));
        auto getFactory = reinterpret_cast<GetFactory> (dlsym (handle, "GetPluginFactory"));
        exit = reinterpret_cast<Exit> (dlsym (handle, "ModuleExit"));

        if (entry != nullptr && getFactory != nullptr && entry (handle))
            factory = getFactory();
    }

    ~Vst3Module()
    {
        if (factory != nullptr)
            factory->release();

        if (exit != nullptr)
            exit();

        if (handle != nullptr)
            dlclose (handle);
    }

    template <typename Interface>
    Interface* query()
    {
        void* result = nullptr;
        return factory->queryInterface (Interface::iid, &result) == kResultOk ? static_cast<Interface*> (result) : nullptr;
    }

    void* handle = nullptr;
    IPluginFactory* factory = nullptr;

private:
    using Exit = bool (*)();
    Exit exit = nullptr;
};

class Vst3FactoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE (module.handle, nullptr) << dlerror();
        ASSERT_NE (module.factory, nullptr);
    }

    Vst3Module module;
};

struct ClassCase
{
    int index;
    const char* category;
    Identifier id;
};

const ClassCase classCases[] = { { 0, "Audio Module Class", componentId },
                                 { 1, "Component Controller Class", controllerId } };
} // namespace

TEST_F (Vst3FactoryTest, ExportsTheHostEntryPoints)
{
    for (const auto* symbol : { "GetPluginFactory", "ModuleEntry", "ModuleExit" })
        EXPECT_NE (dlsym (module.handle, symbol), nullptr) << symbol;
}

TEST_F (Vst3FactoryTest, FactoryRecordNamesTheMaker)
{
    PFactoryInfo info {};
    ASSERT_EQ (module.factory->getFactoryInfo (&info), kResultOk);

    EXPECT_STREQ (info.vendor, "RAVEK-AUDIO");
    EXPECT_STREQ (info.url, OLVAR_MAKER_WEBSITE);
    EXPECT_STREQ (info.email, OLVAR_MAKER_EMAIL);
    EXPECT_EQ (info.flags, 16);
    EXPECT_EQ (info.flags, PFactoryInfo::kUnicode);

    EXPECT_NE (module.factory->getFactoryInfo (nullptr), kResultOk);
}

TEST_F (Vst3FactoryTest, RegistersTheComponentAndTheController)
{
    ASSERT_EQ (module.factory->countClasses(), 2);

    auto* factory2 = module.query<IPluginFactory2>();
    auto* factory3 = module.query<IPluginFactory3>();
    ASSERT_NE (factory2, nullptr);
    ASSERT_NE (factory3, nullptr);

    for (const auto& c : classCases)
    {
        SCOPED_TRACE (c.category);

        PClassInfo info {};
        ASSERT_EQ (module.factory->getClassInfo (c.index, &info), kResultOk);
        EXPECT_STREQ (info.category, c.category);
        EXPECT_STREQ (info.name, "Olvar");
        EXPECT_EQ (info.cardinality, PClassInfo::kManyInstances);
        EXPECT_EQ (toIdentifier (info.cid), c.id);

        PClassInfo2 info2 {};
        ASSERT_EQ (factory2->getClassInfo2 (c.index, &info2), kResultOk);
        EXPECT_EQ (toIdentifier (info2.cid), c.id);
        EXPECT_STREQ (info2.category, c.category);
        EXPECT_STREQ (info2.name, "Olvar");
        EXPECT_EQ (info2.classFlags, 0u);
        EXPECT_STREQ (info2.subCategories, "Fx");
        EXPECT_STREQ (info2.vendor, "RAVEK-AUDIO");
        EXPECT_STREQ (info2.version, "1.1.0");
        EXPECT_STREQ (info2.sdkVersion, kVstVersionString);

        PClassInfoW infoW {};
        ASSERT_EQ (factory3->getClassInfoUnicode (c.index, &infoW), kResultOk);
        EXPECT_EQ (toIdentifier (infoW.cid), c.id);
        EXPECT_STREQ (infoW.category, c.category);
        EXPECT_EQ (fromUtf16 (infoW.name), u"Olvar");
        EXPECT_EQ (infoW.classFlags, 0u);
        EXPECT_STREQ (infoW.subCategories, "Fx");
        EXPECT_EQ (fromUtf16 (infoW.vendor), u"RAVEK-AUDIO");
        EXPECT_EQ (fromUtf16 (infoW.version), u"1.1.0");
        EXPECT_EQ (fromUtf16 (infoW.sdkVersion), widen (kVstVersionString));
    }

    factory3->release();
    factory2->release();
}

TEST_F (Vst3FactoryTest, RefusesMissingRecords)
{
    auto* factory3 = module.query<IPluginFactory3>();
    ASSERT_NE (factory3, nullptr);

    EXPECT_EQ (module.factory->getClassInfo (0, nullptr), kInvalidArgument);
    EXPECT_EQ (factory3->getClassInfo2 (1, nullptr), kInvalidArgument);
    EXPECT_EQ (factory3->getClassInfoUnicode (0, nullptr), kInvalidArgument);

    factory3->release();
}

TEST_F (Vst3FactoryTest, CreatesTheComponentButNothingForAnUnknownIdentifier)
{
    void* created = nullptr;
    const char unknown[16] = { 'V', 'S', 'T', 'X', 'x', 'b', 'l', 'o', 't', 'h', 'e', 'r', 0, 0, 0, 0 };

    EXPECT_NE (module.factory->createInstance (unknown, Vst::IComponent::iid, &created), kResultOk);
    EXPECT_EQ (created, nullptr);

    ASSERT_EQ (module.factory->createInstance (reinterpret_cast<const char*> (componentId.data()),
                                               Vst::IComponent::iid, &created), kResultOk);
    ASSERT_NE (created, nullptr);

    auto* component = static_cast<Vst::IComponent*> (created);
    TUID controllerClass {};
    EXPECT_EQ (component->getControllerClassId (controllerClass), kResultOk);
    EXPECT_EQ (toIdentifier (controllerClass), controllerId);
    component->release();
}
