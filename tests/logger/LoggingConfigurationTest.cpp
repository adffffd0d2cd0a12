// The logging settings from the configuration and the installation resources.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "LogTestSupport.h"
#include "config/ConfReader.h"
#include "config/Resources.h"
#include "logger/ConfigurationLog.h"
#include "logger/LogCommons.h"
#include "logger/LogMessengerIPC.h"
#include "logger/LoggerUnit.h"
#include "logger/LoggingConfiguration.h"
#include "text/StringUtils.h"

namespace Quilna {
namespace {

// Applies configuration texts to the process-wide settings, which the fixture restores.
class LoggingConfigurationTest : public ::testing::Test, protected LogTest::AgentScope {
protected:
    // A set-up block whose configuration holds the given text.
    void apply(const std::string& text) {
        setup.configuration = makeSmart<ConfReader>(makeSmart<ConfigurationLog>(log.centre));
        ASSERT_TRUE(setup.configuration->buildTreeFromText(text, "logging.conf"));
        applyLogConfiguration(setup);
    }

    // A directory as the set-up keeps it: lower case where paths ignore case.
    static std::string kept(const std::string& directory) {
        std::string text = directory + platform().pathSyntax().separator;
        if (platform().pathSyntax().caseInsensitive) StringUtils::toLower(text);
        return text;
    }

    // A path inside a quoted configuration value, where a backslash escapes the next character.
    static std::string quoted(const std::string& path) {
        return std::regex_replace(path, std::regex(R"(\\)"), R"(\\)");
    }

    static std::string logBlock(const std::string& entries) { return "log () = '' { " + entries + " }"; }
    static std::string scheme(const std::string& words) {
        return logBlock("rotation () = '' { scheme (String) = '" + words + "' {} }");
    }

    TestSupport::CapturedLog log;
    LoggingSetup setup;
};

TEST_F(LoggingConfigurationTest, RotationWordsAreCommaSeparatedWithoutBlanks) {
    const std::vector<std::pair<std::string, uint32_t>> cases{
        {"Time,SIZE", Rotation::Time | Rotation::Size},
        {"Time, Size", Rotation::Time},
        {"init,none", 0},
        {"none,init", Rotation::Init},
        {" init,time ", Rotation::Init | Rotation::Time},  // the whole value is trimmed
        {"weekly", 0}};
    for (const auto& [words, expected] : cases) {
        setRotationScheme(Rotation::Size);
        apply(scheme(words));
        EXPECT_EQ(rotationScheme(), expected) << words;
    }
    setRotationScheme(Rotation::Size);
    apply(logBlock(""));
    EXPECT_EQ(rotationScheme(), Rotation::Size);  // no scheme key: unchanged
    // Init rotation is armed only when the configuration adds it.
    setRotationScheme(0);
    clearInitRotation();
    apply(scheme("init"));
    EXPECT_TRUE(initRotationPending());
    clearInitRotation();
    apply(scheme("init,size"));
    EXPECT_FALSE(initRotationPending());
}

TEST_F(LoggingConfigurationTest, LogKeysSetTheirValuesAndAConfigurationWithoutThemResetsTheDefaults) {
    apply(
        logBlock("time (String) = ' zulu ' {} syslog (Bool) = 'false' {}\n"
                 "rotation () = '' { time (TimeSpan) = 'P1DT2H' {} size (Integer) = '5' {} }\n"
                 "global () = '' { severity (String) = 'ERROR' {} debug-level (Integer) = '3' {} }"));
    EXPECT_EQ(timeMode(), TimeMode::Zulu);
    EXPECT_EQ(rotationInterval().value(), 26 * 3600);
    EXPECT_EQ(rotationSize(), 5);
    EXPECT_EQ(severityFilter(), Severity::Error);
    EXPECT_EQ(debugLevel(), 3);
    EXPECT_FALSE(systemLog());

    // Unknown words and numbers out of range leave the values in force.
    apply(
        logBlock("time (String) = 'Zulu' {}\n"
                 "global () = '' { severity (String) = 'warning' {} debug-level (Integer) = '7' {} }"));
    EXPECT_EQ(timeMode(), TimeMode::Default);
    EXPECT_EQ(severityFilter(), Severity::Error);  // lower case is no severity name
    EXPECT_EQ(debugLevel(), 3);
    apply(logBlock("global () = '' { severity (String) = 'NOTHING' {} }"));
    EXPECT_EQ(severityFilter(), Severity::None);

    apply("other () = '' {}");
    EXPECT_EQ(severityFilter(), 0);
    EXPECT_EQ(debugLevel(), 0);
    EXPECT_EQ(timeMode(), TimeMode::Local);
    EXPECT_TRUE(rotationInterval().isZero());
    EXPECT_EQ(rotationSize(), 0);
    EXPECT_TRUE(systemLog());
}

TEST_F(LoggingConfigurationTest, SetUpFromTheResourcesThenMovedByTheConfiguration) {
    setDebugLevel(5);
    std::filesystem::create_directories(dir.child("startup"));
    std::filesystem::create_directories(dir.child("configured"));
    ASSERT_EQ(writeResource("StartupLogDir", dir.child("startup")), 0);
    ASSERT_EQ(writeResource("StartupDebugLevel", "3"), 0);
    ASSERT_EQ(writeResource("LogFileRotationScheme", "size,init"), 0);
    setRotationScheme(0);
    setSystemLog(false);
    setApplicationName("");
    setup.fileName = "HoardscanDebug.log";
    setup.application = 17;
    setup.module = 17;
    ASSERT_TRUE(setupLogging(setup));
    EXPECT_EQ(logApplicationName(), "Hoardscan");
    EXPECT_EQ(setup.directory, kept(dir.child("startup")));
    EXPECT_EQ(debugLevel(), 3);
    EXPECT_EQ(rotationScheme(), Rotation::Size | Rotation::Init);
    EXPECT_TRUE(systemLog());
    ASSERT_TRUE(setup.messenger);
    EXPECT_NE(dynamic_cast<LogMessengerIPC*>(setup.messenger.get()), nullptr);
    setup.unit->debug(1, "before the configuration");

    const SmartPointer<LoggerUnit> unit = setup.unit;
    setup.configuration = makeSmart<ConfReader>(makeSmart<ConfigurationLog>(setup.centre));
    ASSERT_TRUE(setup.configuration->buildTreeFromText(
        "Quilna () = '' { directories () = '' { log (DirName) = '" + quoted(dir.child("configured")) + "' {} } }\n" +
            logBlock("global () = '' { debug-level (Integer) = '2' {} }"),
        "hoardscan.conf"));
    ASSERT_TRUE(setupLogging(setup));  // a second call only applies the configuration
    EXPECT_TRUE(setup.unit == unit);
    EXPECT_EQ(setup.directory, kept(dir.child("configured")));
    EXPECT_EQ(debugLevel(), 2);
    setup.unit->debug(1, "after the configuration");

    const std::string before = TestSupport::TestDirectory::readFile(dir.child("startup/HoardscanDebug.log"));
    const std::string after = TestSupport::TestDirectory::readFile(dir.child("configured/HoardscanDebug.log"));
    EXPECT_NE(before.find("before the configuration"), std::string::npos);
    EXPECT_EQ(before.find("after the configuration"), std::string::npos);
    EXPECT_NE(after.find("after the configuration"), std::string::npos);
    // A log directory that does not exist leaves the log where it is.
    apply("Quilna () = '' { directories () = '' { log (DirName) = '" + quoted(dir.child("absent")) + "' {} } }");
    EXPECT_EQ(setup.directory, kept(dir.child("configured")));
    setup.configuration.reset();
    setup.unit.reset();
}

TEST_F(LoggingConfigurationTest, DirectoriesAreLowerCasedOnlyWherePathsIgnoreCase) {
    setDebugLevel(0);  // nothing is written: these directories need not exist
    fake.syntax = PathSyntax{};
    setup.directory = "/var/Log//Hoardscan";
    ASSERT_TRUE(setupLogging(setup));
    EXPECT_EQ(setup.directory, "/var/Log/Hoardscan/");

    fake.syntax = FakePlatform::windowsSyntax();
    LoggingSetup other;
    other.directory = "C:/Quilna//Logs";
    ASSERT_TRUE(setupLogging(other));
    EXPECT_EQ(other.directory, "c:\\quilna\\logs\\");
}

}  // namespace
}  // namespace Quilna
