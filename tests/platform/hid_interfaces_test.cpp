#include "platform/hid_interfaces.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/platform/hid_fake_backend.h"

namespace orvane {
namespace {

using test::FakeHidBackend;
namespace d = test::descriptors;

TEST(HidInterfaces, PathsRoundTripAndRejectJunk) {
  EXPECT_EQ(MakeHidInterfacePath("/dev/hidraw3", 0x0C45, 0x7650, 2),
            "/dev/hidraw3#vid_0c45&pid_7650&col02");
  HidInterfacePathParts p;
  ASSERT_TRUE(ParseHidInterfacePath("/tmp/x#y/dev/hidraw12#VID_0C45&PID_7650&COL11", &p));
  EXPECT_EQ(p.node, "/tmp/x#y/dev/hidraw12");  // the last '#' separates
  EXPECT_EQ(p.vendor_id, 0x0C45);
  EXPECT_EQ(p.product_id, 0x7650);
  EXPECT_EQ(p.collection, 11);
  for (const char* bad : {"/dev/hidraw3", "#vid_0c45&pid_7650&col01", "/dev/h#vid_0c4&pid_7650&col01",
                          "/dev/h#vid_0c45&pid_7650&col00", "/dev/h#vid_0c45&pid_7650&col1",
                          "/dev/h#vid_0c45&pid_7650&col01x", "/dev/h#vid_0c45&pid_76g0&col01",
                          "/dev/h#pid_7650&vid_0c45&col01"})
    EXPECT_FALSE(ParseHidInterfacePath(bad, &p)) << bad;
}

TEST(HidInterfaces, OnePathPerTopLevelCollectionBrokenNodesLeftOut) {
  FakeHidBackend backend;
  backend.AddNode("/dev/hidraw0", 0x0C45, 0x7650, d::kBootKeyboard, 0x0105);
  backend.AddNode("/dev/hidraw1", 0x0C45, 0x7650, {0xA1, 0x01});  // unbalanced: left out
  backend.AddNode("/dev/hidraw2", 0x0C45, 0x7650, d::Concat({d::kConsumer, d::kVendor}));
  const auto list = EnumerateHidInterfaces(backend);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].path, "/dev/hidraw0#vid_0c45&pid_7650&col01");
  EXPECT_EQ(list[0].version, 0x0105);
  EXPECT_EQ(list[1].path, "/dev/hidraw2#vid_0c45&pid_7650&col01");
  EXPECT_EQ(list[1].caps.usage_page, 0x0C);
  EXPECT_EQ(list[2].path, "/dev/hidraw2#vid_0c45&pid_7650&col02");
  EXPECT_EQ(list[2].caps.usage_page, 0xFF1C);
  EXPECT_EQ(list[2].caps.usage, 0x92);
}

TEST(HidInterfaces, OpenChecksNodeIdentityAndCollection) {
  FakeHidBackend backend;
  backend.AddNode("/dev/hidraw2", 0x0C45, 0x7650, d::Concat({d::kConsumer, d::kVendor}));
  HidOpenError err;
  EXPECT_EQ(HidCollectionHandle::Open(backend, "/dev/hidraw2#vid_0c45&pid_7651&col02", true, true, &err), nullptr);
  EXPECT_EQ(err, HidOpenError::NotFound);
  EXPECT_EQ(HidCollectionHandle::Open(backend, "/dev/hidraw2#vid_0c45&pid_7650&col03", true, true, &err), nullptr);
  EXPECT_EQ(err, HidOpenError::NotFound);
  EXPECT_EQ(HidCollectionHandle::Open(backend, "/dev/hidraw9#vid_0c45&pid_7650&col01", true, true, &err), nullptr);
  EXPECT_EQ(err, HidOpenError::NotFound);
  backend.SetAccessible("/dev/hidraw2", false);
  EXPECT_EQ(HidCollectionHandle::Open(backend, "/dev/hidraw2#vid_0c45&pid_7650&col02", true, true, &err), nullptr);
  EXPECT_EQ(err, HidOpenError::NoPermission);
  backend.SetAccessible("/dev/hidraw2", true);
  auto h = HidCollectionHandle::Open(backend, "/dev/hidraw2#VID_0C45&PID_7650&COL02", true, true, &err);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(err, HidOpenError::None);
  EXPECT_EQ(h->Info().path, "/dev/hidraw2#vid_0c45&pid_7650&col02");
  EXPECT_EQ(h->Caps().usage_page, 0xFF1C);
}

TEST(HidInterfaces, ReadsOnlyTheCollectionsReports) {
  FakeHidBackend backend;
  auto node = backend.AddNode("/dev/hidraw2", 0x0C45, 0x7650, d::Concat({d::kConsumer, d::kVendor}));
  auto vendor = HidCollectionHandle::Open(backend, "/dev/hidraw2#vid_0c45&pid_7650&col02", true, true, nullptr);
  auto consumer = HidCollectionHandle::Open(backend, "/dev/hidraw2#vid_0c45&pid_7650&col01", true, false, nullptr);
  ASSERT_TRUE(vendor && consumer);
  std::vector<uint8_t> reply(64, 0xAA);
  reply[0] = 4;
  FakeHidBackend::Push(*node, {2, 0x01, 0x04});
  FakeHidBackend::Push(*node, {7, 1, 2, 3});  // an ID nobody declares
  FakeHidBackend::Push(*node, reply);
  uint8_t buf[64];
  size_t got = 0;
  ASSERT_EQ(vendor->Read(buf, sizeof buf, &got, 1000), HidIoStatus::Ok);
  EXPECT_EQ(got, 64u);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + got), reply);
  ASSERT_EQ(consumer->Read(buf, sizeof buf, &got, 1000), HidIoStatus::Ok);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + got), (std::vector<uint8_t>{2, 0x01, 0x04}));
  EXPECT_EQ(consumer->Read(buf, sizeof buf, &got, 20), HidIoStatus::Timeout);
  EXPECT_EQ(got, 0u);

  ASSERT_EQ(vendor->Write(reply.data(), reply.size(), 1000), HidIoStatus::Ok);
  ASSERT_EQ(node->writes.size(), 1u);
  EXPECT_EQ(node->writes[0], reply);
}

TEST(HidInterfaces, DeviceWithoutReportIdsGetsZeroIdByte) {
  FakeHidBackend backend;
  auto node = backend.AddNode("/dev/hidraw0", 0x0C45, 0x7650, d::kBootKeyboard);
  auto kb = HidCollectionHandle::Open(backend, "/dev/hidraw0#vid_0c45&pid_7650&col01", true, false, nullptr);
  ASSERT_NE(kb, nullptr);
  FakeHidBackend::Push(*node, {0x02, 0, 0x04, 0, 0, 0, 0, 0});
  uint8_t buf[16];
  size_t got = 0;
  ASSERT_EQ(kb->Read(buf, sizeof buf, &got, 1000), HidIoStatus::Ok);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + got), (std::vector<uint8_t>{0, 0x02, 0, 0x04, 0, 0, 0, 0, 0}));
}

TEST(HidInterfaces, ShutdownEndsWaitAndLaterCalls) {
  FakeHidBackend backend;
  backend.AddNode("/dev/hidraw0", 0x0C45, 0x7650, d::kVendor);
  auto h = HidCollectionHandle::Open(backend, "/dev/hidraw0#vid_0c45&pid_7650&col01", true, true, nullptr);
  ASSERT_NE(h, nullptr);
  HidIoStatus st = HidIoStatus::Ok;
  std::thread reader([&] {
    uint8_t buf[64];
    size_t got;
    st = h->Read(buf, sizeof buf, &got, -1);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  h->Shutdown();
  reader.join();
  EXPECT_EQ(st, HidIoStatus::Cancelled);
  uint8_t buf[64] = {4};
  size_t got;
  EXPECT_EQ(h->Read(buf, sizeof buf, &got, -1), HidIoStatus::Cancelled);
  EXPECT_EQ(h->Write(buf, sizeof buf, -1), HidIoStatus::Cancelled);
}

}  // namespace
}  // namespace orvane
