#include "engine/settings/ip_detection.h"

#include <gtest/gtest.h>

#include "engine/net/local_addresses.h"
#include "support/param_name.h"

namespace {

std::string Joined(const std::vector<std::string>& words) {
    std::string joined;
    for (const std::string& word : words) joined += word + " ";
    return joined.empty() ? "none" : joined;
}

struct ClassifyCase {
    std::vector<std::string> addresses;
    std::string address;
    std::string message;
};

class ClassifyAddressesTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyAddressesTest, PicksTheOnePublicAddress) {
    const ClassifyCase& c = GetParam();
    const IpClassification result = ClassifyAddresses(c.addresses);
    EXPECT_EQ(result.address, c.address);
    EXPECT_EQ(result.message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ClassifyAddressesTest,
    ::testing::Values(ClassifyCase{{"192.168.1.5", "85.1.2.3"}, "85.1.2.3", ""},
                      ClassifyCase{{"10.0.0.2"}, "", kIpNatError}, ClassifyCase{{}, "", kIpNatError},
                      ClassifyCase{{"172.15.0.1"}, "172.15.0.1", ""}, ClassifyCase{{"172.32.0.1"}, "172.32.0.1", ""},
                      ClassifyCase{{"172.16.0.1", "172.31.255.255"}, "", kIpNatError},
                      ClassifyCase{{"192.169.0.1"}, "192.169.0.1", ""}, ClassifyCase{{"192.168.0.1"}, "", kIpNatError},
                      ClassifyCase{{"10.255.255.255", "192.168.0.1", "172.20.1.1"}, "", kIpNatError},
                      ClassifyCase{{"127.0.0.1"}, "127.0.0.1", ""}, ClassifyCase{{"169.254.3.4"}, "169.254.3.4", ""},
                      ClassifyCase{{"11.0.0.1", "10.0.0.1"}, "11.0.0.1", ""},
                      ClassifyCase{{"85.1.2.3", "10.1.1.1", "86.1.2.3"}, "", kIpMultipleError},
                      ClassifyCase{{"85.1.2.3", "85.1.2.3"}, "", kIpMultipleError}),
    [](const auto& caseInfo) { return ParamName(Joined(caseInfo.param.addresses), caseInfo.index); });

struct HostListCase {
    std::vector<InterfaceAddress> interfaces;
    std::vector<std::string> expected;
};

class HostAddressListTest : public ::testing::TestWithParam<HostListCase> {};

TEST_P(HostAddressListTest, KeepsInterfaceOrderAndLoopbackOnlyWhenAlone) {
    EXPECT_EQ(HostAddressList(GetParam().interfaces), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lists, HostAddressListTest,
                         ::testing::Values(HostListCase{{}, {}}, HostListCase{{{"127.0.0.1", true}}, {"127.0.0.1"}},
                                           HostListCase{{{"127.0.0.1", true}, {"10.0.0.2", false}, {"85.1.2.3", false}},
                                                        {"10.0.0.2", "85.1.2.3"}},
                                           HostListCase{{{"85.1.2.3", false}, {"127.0.0.1", true}, {"10.0.0.2", false}},
                                                        {"85.1.2.3", "10.0.0.2"}},
                                           HostListCase{{{"127.0.0.1", true}, {"127.0.1.1", true}},
                                                        {"127.0.0.1", "127.0.1.1"}}),
                         [](const auto& caseInfo) {
                             std::vector<std::string> addresses;
                             for (const InterfaceAddress& entry : caseInfo.param.interfaces)
                                 addresses.push_back(entry.address);
                             return ParamName(Joined(addresses), caseInfo.index);
                         });

}  // namespace
