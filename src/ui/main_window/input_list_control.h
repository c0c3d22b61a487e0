// The Input list control: a report list of one column that shows each
// admitted path, in admission order. It is virtual: the rows live here as
// paths and the toolkit asks for the few it draws, so a list of a hundred
// thousand rows fills and scrolls as quickly as a short one (a list that
// keeps its own copy of every row takes seconds for each ten thousand).
//
// A row shows its path shortened in the middle to the column's width, so
// the file name stays in view; the pointer's row shows the whole path as
// its tooltip.
#pragma once

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
  // image list, the others its second, a blank one of the same size, so
  // that every row's text starts at the same place; nothing marks them
  // when the test is empty.
  void setMarked(std::function<bool(const std::string& path)> marked);
  bool isMarked(long row) const;
  // Which picture of the small image list the row shows; -1 for none.
  int rowPicture(long row) const { return OnGetItemImage(row); }

  // The text the row shows.
  std::string shownText(long row) const;
  // The whole path of the row under the pointer; empty when none is.
  std::string tooltip() const;

 private:
  wxString OnGetItemText(long item, long column) const override;
  int OnGetItemImage(long item) const override;
  void onMotion(wxMouseEvent& event);
  wxWindow* rowArea() const;

  std::vector<std::string> rows_;
  std::function<bool(const std::string&)> marked_;
  long tooltipRow_ = -1;
};

}  // namespace qm
