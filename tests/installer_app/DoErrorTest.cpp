// Alerts on standard error: formatting, one line per alert, the first
// button's answer.

#include "DoError.h"

#include <Errors.h>

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Runs an alert and returns its result and what it printed.
template<typename Call>
std::pair<int32, std::string>
Shown(Call call)
{
	testing::internal::CaptureStderr();
	int32 result = call();
	return {result, testing::internal::GetCapturedStderr()};
}

} // namespace

TEST(DoErrorTest, FormatsItsOneArgument)
{
	const char* reason = strerror_status(B_ENTRY_NOT_FOUND);
	auto [result, text] = Shown([&] {
		return doError("Could not read complete file header (%s).", reason);
	});
	EXPECT_EQ(result, 0);
	EXPECT_EQ(text, std::string("Could not read complete file header (") + reason + ").\n");

	auto [sizeResult, sizeText] = Shown([] {
		return doError("The archive data size is incorrect.\n%s", "(100 expected, 99 current)");
	});
	EXPECT_EQ(sizeResult, 0);
	EXPECT_EQ(sizeText, "The archive data size is incorrect.\n(100 expected, 99 current)\n");

	// A long argument is not cut.
	std::string longArgument(5000, 'a');
	auto [longResult, longText] = Shown([&] {
		return doError("[%s]", longArgument.c_str());
	});
	EXPECT_EQ(longText, "[" + longArgument + "]\n");
}

TEST(DoErrorTest, WithoutAnArgumentTheTextIsShownExactly)
{
	EXPECT_EQ(Shown([] { return doError("100% done, %s and %d stay", NULL); }).second,
		"100% done, %s and %d stay\n");
	EXPECT_EQ(Shown([] { return doError("Disk 50% full"); }).second, "Disk 50% full\n");
	EXPECT_EQ(Shown([] { return doError("50%% is two signs", NULL, "OK"); }).second,
		"50%% is two signs\n");
}

TEST(DoErrorTest, EveryFormAnswersWithTheFirstButton)
{
	EXPECT_STREQ(errCONTINUE, "Continue");
	auto [question, text] = Shown([] {
		return doError("Continue installing %s?", "Tool", errCONTINUE, "Cancel");
	});
	EXPECT_EQ(question, 0);
	EXPECT_EQ(text, "Continue installing Tool?\n");
	auto [three, threeText] = Shown([] {
		return doError("Pick one", NULL, "A", "B", "C");
	});
	EXPECT_EQ(three, 0);
	auto [fatal, fatalText] = Shown([] {
		return doFatal("Could not find specified package file.", NULL);
	});
	EXPECT_EQ(fatal, 0);
	EXPECT_EQ(fatalText, "Could not find specified package file.\n");
}

TEST(DoErrorTest, AlertsFromManyThreadsStayWholeLines)
{
	const int kThreads = 6;
	const int kAlerts = 200;
	testing::internal::CaptureStderr();
	std::vector<std::thread> threads;
	for (int t = 0; t < kThreads; t++) {
		threads.emplace_back([t] {
			std::string argument = std::string(t + 1, (char)('a' + t));
			for (int i = 0; i < kAlerts; i++)
				doError("Thread message %s.", argument.c_str());
		});
	}
	for (std::thread& thread : threads)
		thread.join();
	std::istringstream lines(testing::internal::GetCapturedStderr());
	std::set<std::string> expected;
	for (int t = 0; t < kThreads; t++)
		expected.insert("Thread message " + std::string(t + 1, (char)('a' + t)) + ".");
	int count = 0;
	std::string line;
	while (std::getline(lines, line)) {
		EXPECT_EQ(expected.count(line), 1u) << line;
		count++;
	}
	EXPECT_EQ(count, kThreads * kAlerts);
}
