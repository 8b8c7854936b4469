#include "testsupport/cdtool_test_support.h"

namespace kiv::testing {
namespace {

class WinSourceTest : public ProgramFolderTest {
 protected:
  std::string Identify(std::initializer_list<const char*> tags) {
    std::filesystem::remove_all(dir_ / "cd");
    std::filesystem::create_directories(dir_ / "cd");
    for (const char* t : tags) Write(std::string("cd/") + t, "");
    return IdentifyWinVerCaption(P("cd"));
  }
};

TEST_F(WinSourceTest, TagTable) {
  EXPECT_EQ(Identify({}), "Unknown Windows Version");
  EXPECT_EQ(Identify({"WIN51IP.SP2", "CDROMSP4.TST"}), "Unknown Windows Version");
  EXPECT_EQ(Identify({"WIN51IP", "WIN51IP.SP1"}), "Microsoft Windows XP Professional Edition SP1");
  EXPECT_EQ(Identify({"WIN51IP", "WIN51IP.SP1", "WIN51IP.SP2"}), "Microsoft Windows XP Professional Edition SP2");
  EXPECT_EQ(Identify({"WIN51IC"}), "Microsoft Windows XP Home Edition");
  EXPECT_EQ(Identify({"WIN51IC", "WIN51IP.SP3"}), "Microsoft Windows XP Home Edition SP3");
  EXPECT_EQ(Identify({"CDROM_IS.5", "CDROM_SP.TST"}), "Microsoft Windows 2000 Server SP1");
  EXPECT_EQ(Identify({"CDROM_IP.5", "CDROMSP3.TST", "CDROMSP5.TST"}), "Microsoft Windows 2000 Professional SP5");
  EXPECT_EQ(Identify({"CDROM_IA.5"}), "Microsoft Windows 2000 Advanced Server");
  // Both families: the 2000 caption replaces the XP one, and the flag set by
  // the XP service pack keeps the 2000 suffix off.
  EXPECT_EQ(Identify({"WIN51IP", "WIN51IP.SP2", "CDROM_IP.5", "CDROMSP4.TST"}), "Microsoft Windows 2000 Professional");
  // Tag files are found whatever their letter case.
  EXPECT_EQ(Identify({"win51ip", "Win51ip.Sp1"}), "Microsoft Windows XP Professional Edition SP1");
  EXPECT_EQ(Identify({"cdrom_is.5", "cdromsp2.tst"}), "Microsoft Windows 2000 Server SP2");
}

TEST_F(WinSourceTest, HomeServicePacksAndServer2003AreNamed) {
  EXPECT_EQ(Identify({"WIN51IC", "WIN51IC.SP2"}), "Microsoft Windows XP Home Edition SP2");
  EXPECT_EQ(Identify({"WIN51IC", "WIN51IC.SP1", "WIN51IC.SP3"}), "Microsoft Windows XP Home Edition SP3");
  EXPECT_EQ(Identify({"WIN51IS"}), "Microsoft Windows Server 2003 Standard Edition");
  EXPECT_EQ(Identify({"WIN51IA", "WIN51IA.SP1"}), "Microsoft Windows Server 2003 Enterprise Edition SP1");
  EXPECT_EQ(Identify({"win51ib", "win51ib.sp2"}), "Microsoft Windows Server 2003 Web Edition SP2");
  EXPECT_EQ(Identify({"WIN51ID", "WIN51ID.SP1", "WIN51ID.SP2"}),
            "Microsoft Windows Server 2003 Datacenter Edition SP2");
  // Another edition's service pack does not count.
  EXPECT_EQ(Identify({"WIN51IS", "WIN51IP.SP2"}), "Microsoft Windows Server 2003 Standard Edition");

  // The family, for the answer file's key name.
  Identify({"WIN51IS", "WIN51IS.SP1"});
  EXPECT_EQ(IdentifyWindowsFamily(P("cd")), WindowsFamily::XpOr2003);
  Identify({"WIN51IC"});
  EXPECT_EQ(IdentifyWindowsFamily(P("cd")), WindowsFamily::XpOr2003);
  Identify({"CDROM_IP.5", "CDROMSP4.TST"});
  EXPECT_EQ(IdentifyWindowsFamily(P("cd")), WindowsFamily::Windows2000);
  Identify({"WIN51IP.SP2"});
  EXPECT_EQ(IdentifyWindowsFamily(P("cd")), WindowsFamily::Unknown);
}

}  // namespace
}  // namespace kiv::testing
