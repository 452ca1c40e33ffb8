// A test that runs against a fresh simulated host, with helpers to build
// documents and read back what the module did.
#pragma once

#include "ostrel_sim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { ostrelsim::reset(); }
    void TearDown() override { ostrelsim::reset(); }
};

// The calls made so far as "op subject" lines, keeping only the ops named
// (all when `ops` is empty).
std::vector<std::string> callTrace(const std::vector<std::string>& ops = {});

// The calls to `op` made so far.
std::vector<ostrelsim::Call> callsTo(const std::string& op);

// An object with the given history, added to the document.
int32_t addPart(const std::string& name, const std::vector<std::string>& history = {});
// The current names of an object's history.
std::vector<std::string> historyNames(int32_t object);
