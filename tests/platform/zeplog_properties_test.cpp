#include "zeplog_properties.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace zeplog;

TEST(ZeplogProperties, OptionsOfAppendersKeepTheirNamesAndValues)
{
    const std::string options = "log4j.appender.f.File=wsgate.log\nlog4j.appender.f.MaxFileSize=10MB\n"
                                "log4j.appender.f.MaxBackupIndex=5\nlog4j.appender.f.Threshold=WARN\n";
    EXPECT_EQ("log4cplus.appender.f.File=wsgate.log\nlog4cplus.appender.f.MaxFileSize=10MB\n"
              "log4cplus.appender.f.MaxBackupIndex=5\nlog4cplus.appender.f.Threshold=WARN\n",
              Log4cplusProperties(options));
}

TEST(ZeplogProperties, ConsoleTargetBecomesLogToStdErr)
{
    EXPECT_EQ("log4cplus.appender.c.logToStdErr=true\nlog4cplus.appender.o.logToStdErr=false\n",
              Log4cplusProperties("log4j.appender.c.Target=System.err\nlog4j.appender.o.Target=System.out\n"));
}

TEST(ZeplogProperties, CommentsBlankLinesAndForeignKeysPassUnchanged)
{
    const std::string text = "# log4j.rootLogger=DEBUG\n\n  ! note\nother.key=org.apache.log4j.X\n";
    EXPECT_EQ(text, Log4cplusProperties(text));
}

TEST(ZeplogProperties, JavaDatePatternBecomesStrftimeWithMilliseconds)
{
    EXPECT_EQ("%Y-%m-%d %H:%M:%S,%q", StrftimeFormat("yyyy-MM-dd HH:mm:ss,SSS"));
    EXPECT_EQ("%d %b %y %I %p", StrftimeFormat("dd MMM yy hh a"));
}

TEST(ZeplogProperties, QuotedTextAndPercentSignsStayLiteral)
{
    EXPECT_EQ("%H h 100%% o'clock", StrftimeFormat("HH 'h' 100% o''clock"));
}

TEST(ZeplogProperties, DateConversionsBecomeLocalTimeD)
{
    EXPECT_EQ("%D{%Y-%m-%d %H:%M:%S,%q} %-5p [%t] %F:%L %M - %m%n",
              Log4cplusConversionPattern("%d{yyyy-MM-dd HH:mm:ss,SSS} %-5p [%t] %F:%L %M - %m%n"));
    EXPECT_EQ("%D{%Y-%m-%d %H:%M:%S,%q} %m", Log4cplusConversionPattern("%d %m"));
    EXPECT_EQ("%D{%H:%M:%S,%q}", Log4cplusConversionPattern("%d{ABSOLUTE}"));
    EXPECT_EQ("%-30D{%d %b %Y %H:%M:%S,%q}", Log4cplusConversionPattern("%-30d{DATE}"));
}

TEST(ZeplogProperties, PatternsWithoutDatesAreUnchanged)
{
    EXPECT_EQ("%F:%L %M %p %m%n %% %c", Log4cplusConversionPattern("%F:%L %M %p %m%n %% %c"));
}

// Moving keys and class names is checked on the shipped configuration, which has both.
TEST(ZeplogProperties, DemoConfigurationHasNoLog4jNameLeft)
{
    std::ifstream file(DEMO_PROPERTIES);
    std::ostringstream text;
    text << file.rdbuf();
    ASSERT_FALSE(text.str().empty());
    const std::string mapped = Log4cplusProperties(text.str());
    for (const char *log4j : {"\nlog4j.", "org.apache", "%d{"})
        EXPECT_EQ(std::string::npos, mapped.find(log4j)) << log4j;
    EXPECT_NE(std::string::npos, mapped.find("log4cplus.appender.file=log4cplus::RollingFileAppender\n"));
}
