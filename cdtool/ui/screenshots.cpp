#include "cdtool/ui/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>

#include "cdtool/build/overall_progress.h"
#include "cdtool/ui/cd_build_window.h"
#include "cdtool/ui/info_dialogs.h"
#include "cdtool/wizard/frm_cd_build.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/ui/qt_prompter.h"

namespace kiv {

namespace {

bool Save(QWidget& w, const QString& folder, const QString& name) {
  QCoreApplication::processEvents();
  const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
  if (w.grab().save(path)) {
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
  }
  std::fprintf(stderr, "discsmith: could not write \"%s\"\n", path.toLocal8Bit().constData());
  return false;
}

}  // namespace

void ShowScreenshotState(FrmCDBuild& form, int page) {
  // The Windows 10/11 page is a wizard page shown between pages 4 and 5.
  const bool win10 = page == FrmCDBuild::kWin10Page;
  const bool wizard = page <= FrmCDBuild::kLastWizardPage || win10;
  form.VisiblePage = page;
  // Back is off on the first page and once the build has started.
  form.CmdBack.Enabled = wizard && page > 0;
  // Next gives way to Finish on the summary page.
  form.CmdNext.Visible = page < FrmCDBuild::kLastWizardPage || win10;
  form.CmdFinish.Visible = page >= FrmCDBuild::kLastWizardPage && !win10;
  // While the build works Finish is greyed out; it ends the program afterwards.
  form.CmdFinish.Enabled = page != FrmCDBuild::kProgressPage;
  // The ISO step turns Cancel off, and it stays off on the result page.
  form.CmdCancel.Enabled = page != FrmCDBuild::kFinishPage;
  // The result page of a build that made the CD: where it is, how large,
  // where the log is, and the buttons that open the ISO's folder and the log.
  const bool finish = page == FrmCDBuild::kFinishPage;
  form.LblOutcome.Visible = form.LblBuildLog.Visible = form.CmdOpenFolder.Visible = form.CmdOpenLog.Visible = finish;
  if (finish) {
    form.LblOutcome.Caption = "The ISO image is /home/user/kivcd.iso (212.4 MB)";
    form.LblBuildLog.Caption = "The build log is /home/user/kiv/kivcd-build.log";
  }
  if (page == FrmCDBuild::kProgressPage) {
    form.LblRight[0].Caption = "\u2714";
    form.LblRight[1].Caption = "\u2714";
    form.LblRight[2].Caption = "\u2718";
    form.LblMsg[3].Bold = true;
    form.LblSub_Step.Caption = "Copying : kiv_utilities/readme.txt";
    form.BarSub_Step.Max = 100;
    form.BarSub_Step.Value = 42;
    form.BarSub_Step.Visible = true;
    // The whole build under the step lines: a little under half done after
    // two minutes, with the caption the run writes for that.
    constexpr double kDone = 0.45;
    constexpr double kElapsedSeconds = 120;
    ProgressBar& overall = form.BarOverall;
    overall.Value = static_cast<int64_t>(kDone * static_cast<double>(overall.Max));
    overall.Visible = true;
    form.LblOverall.Caption = OverallCaption(kDone, kElapsedSeconds);
  }
}

int RenderScreenshots(const std::string& outputFolder) {
  const QString folder = QString::fromStdString(outputFolder);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "discsmith: cannot create the folder \"%s\"\n", outputFolder.c_str());
    return 1;
  }
  // A scratch program folder, so nothing of a real session is read or written;
  // the shipped answer-file template is copied in when it is there.
  QTemporaryDir scratch;
  if (!scratch.isValid()) return 1;
  const std::string programFolder = scratch.path().toStdString();
  std::error_code ec;
  const std::filesystem::path shipped =
      std::filesystem::path(CurrentPlatform().ProgramFolder()) / "files" / "inf_files";
  if (std::filesystem::is_directory(shipped, ec)) {
    std::filesystem::create_directories(std::filesystem::path(programFolder) / "files", ec);
    std::filesystem::copy(shipped, std::filesystem::path(programFolder) / "files" / "inf_files",
                          std::filesystem::copy_options::recursive, ec);
  }

  QtPrompter prompter(programFolder);
  FrmCDBuild form(programFolder, prompter, {SystemLauncher(), CurrentPlatform()});
  form.Form_Load();
  // Sample values, the same on every machine.
  form.TxtISOLoc.Text = "/home/user/kivcd.iso";
  form.TxtSP_exe.Text = "/home/user/SP/xpsp2_en_x86.exe";
  form.Txt_i386_Loc.Text = "/media/cdrom/I386";
  form.LblWin2KOSVer.Caption = "Microsoft Windows XP Professional Edition SP1";
  form.TxtWin9x_Loc.Text = "/media/cdrom/WIN98";
  form.TxtUtils_Loc.Text = "/home/user/kiv/kiv_utilities";
  form.TxtAddFiles_Loc.Text = "/home/user/kiv/Additional Files";
  form.SetCheck(form.ChkGet_Win10, 1);
  form.TxtWin10_Loc.Text = "/home/user/Downloads/Win11_23H2_English_x64.iso";
  form.LblWin10OSVer.Caption = "Windows 11 Home, Pro, Education (build 22631)";
  form.Win10Info().SetEditions({"Windows 11 Home", "Windows 11 Pro", "Windows 11 Education"});
  Win10Info answers = form.Win10Info().Record();
  answers.Edition = "Windows 11 Pro";
  answers.ComputerName = "ANNA-PC";
  answers.LocalAccount = "anna";
  answers.TimeZone = "W. Europe Standard Time";
  answers.Locale = "de-DE";
  form.Win10Info().SetRecord(answers);
  form.ShowWin10Answers();
  form.SetCheck(form.ChkGet_Advtools, 1);
  form.SetCheck(form.ChkERDC, 1);
  form.TxtERDC.Text = "/media/erdcd";
  std::tm when{};
  when.tm_year = 2026 - 1900;
  when.tm_mon = 11;
  when.tm_mday = 7;
  when.tm_wday = 1;
  form.TxtSummery.Text = form.GenerateSummery(when);

  CdBuildWindow window(form, prompter);
  window.show();
  bool ok = true;
  const char* names[] = {"page0-welcome", "page1-contents", "page2-win2k-source", "page3-win2k-options",
                         "page4-win9x",   "page5-advtools", "page6-utilities",    "page7-iso",
                         "page8-summary", "page9-finish",   "page10-progress",    "page11-win10"};
  static_assert(std::size(names) == FrmCDBuild::kPageCount, "a picture's name for every page");
  for (int page = 0; page < FrmCDBuild::kPageCount; ++page) {
    ShowScreenshotState(form, page);
    window.Refresh();
    ok &= Save(window, folder, QString::fromLatin1(names[page]));
  }

  Win9xInfoDialog& d9 = window.Win9xDialog();
  d9.Refresh();
  d9.show();
  ok &= Save(d9, folder, QStringLiteral("dialog-win9x-info"));
  d9.hide();
  Win2KInfoDialog& d2 = window.Win2KDialog();
  form.Win2KInfo().TxtTemplate.Text = "/home/user/kiv/files/inf_files/win2k_template.inf";
  d2.Refresh();
  d2.show();
  ok &= Save(d2, folder, QStringLiteral("dialog-win2k-info"));
  d2.hide();
  Win10InfoDialog& d10 = window.Win10Dialog();
  d10.Refresh();
  d10.show();
  ok &= Save(d10, folder, QStringLiteral("dialog-win10-info"));
  d10.hide();
  return ok ? 0 : 1;
}

}  // namespace kiv
