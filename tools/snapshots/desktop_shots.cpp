#include <QFile>

#include "app/splash_form.h"
#include "data/quillby_data.h"
#include "data/store_file.h"
#include "desktop/desktop_form.h"
#include "tools/snapshots/shots.h"

namespace {

// The desktop needs a signed-in user with a store behind it.
void SignIn(TQuillbyData& Data) {
  if (Data.CurrentUserId() > 0) return;
  if (!QFile::exists(QString::fromStdString(Data.DatabasePath()))) {
    CreateStoreFile(Data.DatabasePath());
  }
  if (!Data.VerifyLogin("ann", "secret")) {
    Data.CreateUser("Ann Example", "ann", "secret");
    Data.VerifyLogin("ann", "secret");
  }
}

void ShootSplash(TShotContext& Context) {
  TSplashForm splash;
  SaveShot(splash, Context, "splash");
}

void ShootDesktop(TShotContext& Context) {
  SignIn(Context.Data);
  TDesktopForm form(Context.Data);
  const char* names[] = {"desktop_1_debt_calc", "desktop_2_free_counsel", "desktop_3_refer_friend",
                         "desktop_4_help_improve", "desktop_5_about"};
  for (int page = 0; page < form.pgcDesktop->count(); ++page) {
    form.pgcDesktop->setCurrentIndex(page);
    SaveShot(form, Context, names[page]);
  }
}

void ShootDebtLoad(TShotContext& Context) {
  SignIn(Context.Data);
  TDesktopForm form(Context.Data);
  form.leRent->setText("1800");
  form.leCreditCard->setText("350");
  form.leGrossSalary->setText("60000");
  form.leBonus->setText("4000");
  form.btnDebtCalc->click();
  SaveShot(form, Context, "desktop_6_debt_load_result");
}

[[maybe_unused]] const bool registered = RegisterShot("desktop_1", &ShootDesktop) &&
                                         RegisterShot("desktop_2", &ShootDebtLoad) &&
                                         RegisterShot("splash", &ShootSplash);

}  // namespace
