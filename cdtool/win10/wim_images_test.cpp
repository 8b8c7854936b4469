#include "cdtool/win10/wim_images.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

std::string Utf16Le(const std::string& ascii, bool bom = true) {
  std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

const char* const kDocument =
    "<WIM><TOTALBYTES>1</TOTALBYTES>"
    "<IMAGE INDEX=\"1\"><NAME>Windows 11 Pro</NAME><WINDOWS><ARCH>9</ARCH><EDITIONID>Professional</EDITIONID>"
    "<VERSION><MAJOR>10</MAJOR><MINOR>0</MINOR><BUILD>22631</BUILD></VERSION></WINDOWS></IMAGE>"
    "<IMAGE INDEX=\"2\"><NAME>Tom &amp; Jerry&apos;s &lt;Edition&gt;</NAME><DISPLAYNAME>TJ</DISPLAYNAME>"
    "<WINDOWS><ARCH>12</ARCH><VERSION><MAJOR>0x0A</MAJOR><BUILD>26100</BUILD></VERSION></WINDOWS></IMAGE></WIM>";

TEST(WimImages, TheDocumentInEitherEncodingGivesEachImage) {
  for (const std::string& xml : {Utf16Le(kDocument), Utf16Le(kDocument, false), std::string(kDocument)}) {
    const auto images = ParseWimXml(xml);
    ASSERT_TRUE(images);
    ASSERT_EQ(images->size(), 2u);
    EXPECT_EQ((*images)[0].name, "Windows 11 Pro");
    EXPECT_EQ((*images)[0].editionId, "Professional");
    EXPECT_EQ((*images)[0].architecture, "amd64");
    EXPECT_EQ((*images)[0].build, 22631);
    EXPECT_EQ((*images)[1].index, 2);
    EXPECT_EQ((*images)[1].name, "Tom & Jerry's <Edition>");
    EXPECT_EQ((*images)[1].displayName, "TJ");
    EXPECT_EQ((*images)[1].architecture, "arm64");
    EXPECT_EQ((*images)[1].major, 10);  // written in hexadecimal
  }
  EXPECT_FALSE(ParseWimXml("<html></html>"));
  EXPECT_TRUE(ParseWimXml("<WIM></WIM>")->empty());
}

// A WIM file's header, with the XML document's place at bytes 72 to 95.
std::string Header(uint64_t offset, uint64_t size) {
  std::string h(kWimHeaderSize, '\0');
  h.replace(0, 8, std::string("MSWIM\0\0\0", 8));
  h[8] = static_cast<char>(kWimHeaderSize);
  for (int i = 0; i < 7; ++i) h[72 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  for (int i = 0; i < 8; ++i) h[80 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
  return h;
}

// The stream of a whole file, in pieces of every size: only the header and
// the document are kept, and the collector says when it has them.
TEST(WimImages, TheCollectorKeepsTheDocumentFromAStreamInAnyPieces) {
  const std::string xml = Utf16Le(kDocument);
  const uint64_t offset = 5000;
  std::string file = Header(offset, xml.size()) + std::string(offset - kWimHeaderSize, 'd') + xml + "tail";
  for (size_t piece : {1u, 7u, 208u, 4096u, 100000u}) {
    SCOPED_TRACE(piece);
    WimXmlCollector collector;
    size_t fed = 0;
    bool more = true;
    while (more && fed < file.size()) {
      more = collector.Feed(file.substr(fed, piece));
      fed += piece;
    }
    EXPECT_FALSE(more);
    EXPECT_LT(fed, file.size() + piece);
    ASSERT_TRUE(collector.Xml());
    EXPECT_EQ(*collector.Xml(), xml);
  }
  WimXmlCollector cut;
  cut.Feed(file.substr(0, offset + 10));
  EXPECT_FALSE(cut.Xml());
  WimXmlCollector other;
  EXPECT_FALSE(other.Feed(std::string(300, 'x')));
  EXPECT_TRUE(other.NotAWim());
  EXPECT_FALSE(WimXmlPlaceInHeader(Header(100, 0)));  // no document
}

}  // namespace
}  // namespace kiv
