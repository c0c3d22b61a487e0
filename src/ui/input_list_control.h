// The Input list control: a report list of one column that shows each
// admitted path, in admission order. It is virtual: the rows live here as
// paths and the toolkit asks for the few it draws, so a list of a hundred
// thousand rows fills and scrolls as quickly as a short one (a list that
// keeps its own copy of every row takes seconds for each ten thousand).
#pragma once

#include "ui/toolkit_prelude.h"

#include <functional>
#include <string>
#include <vector>

#include <wx/listctrl.h>

namespace qm {

class InputListControl final : public wxListCtrl {
 public:
  InputListControl(wxWindow* parent, const wxPoint& position, const wxSize& size);

  void appendRow(const std::string& path);
  void appendRows(std::vector<std::string> paths);
  void clearRows();
  long rowCount() const { return static_cast<long>(rows_.size()); }
  const std::string& path(long row) const { return rows_[static_cast<std::size_t>(row)]; }
  const std::vector<std::string>& paths() const { return rows_; }
  std::vector<long> selectedRows() const;

  // Removes the selected rows and returns their paths. Afterwards the row
  // that took the place of the last one removed is selected, or the new
  // last row when the removed one was last; nothing when none is left.
  std::vector<std::string> removeSelectedRows();
  void selectAllRows();

  // Rows whose path the test accepts show the first picture of the small
  // image list; nothing marks them when the test is empty.
  void setMarked(std::function<bool(const std::string& path)> marked);
  bool isMarked(long row) const;

 private:
  wxString OnGetItemText(long item, long column) const override;
  int OnGetItemImage(long item) const override;

  std::vector<std::string> rows_;
  std::function<bool(const std::string&)> marked_;
};

}  // namespace qm
