#pragma once
// TMusicHackForm: a small borderless, stay-on-top tool window without a task-bar button, shown
// and freed with the main window. Whenever it is activated it hands the activation on to the
// main window.

#include "forms/Forms.h"

class TMusicHackForm : public TForm {
 public:
  TMusicHackForm(TComponent* owner, HWND mainWindow);

 protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;

 private:
  HWND FMainWindow;
};
