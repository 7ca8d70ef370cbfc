// A session over a folder of real PDF files for the job tests, with the scripted desktop and a
// record of the folder's files, so that a test can tell exactly which files a job changed.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "app/session/app_session.h"
#include "tests/support/scripted_desktop.h"

namespace folvex::testing {

class JobSession : public ::testing::Test {
 protected:
  void SetUp() override;

  // Files in the test's folder (the name may hold a subfolder).
  std::string Pdf(const std::string& name, int pages);
  std::string Bytes(const std::string& name, const std::string& bytes);
  // A copy of a SimplePdf(pages) protected by qpdf; empty when qpdf failed.
  std::string Protected(const std::string& name, const std::string& user, const std::string& owner,
                        const std::string& arguments, int pages = 3);
  // The same, stored with cross-reference streams.
  std::string ProtectedWithStreams(const std::string& name, int pages = 3);
  std::string PathOf(const std::string& name) const { return Folder + "/" + name; }

  // Appends a row for path: uncounted, or counted now.
  int AddRow(const std::string& path, bool selected, bool counted = false);

  // Names in list order, '*' after a selected row.
  std::string Names() const;
  // Page texts in list order, each in brackets.
  std::string Pages() const;
  const ListEntry& Row(int index) const { return Session.List.Rows[static_cast<std::size_t>(index)]; }

  // Every file under the folder and its bytes.
  std::map<std::string, std::string> Files() const;
  // The names of the files added, removed or changed since before.
  std::set<std::string> ChangedSince(const std::map<std::string, std::string>& before) const;

  std::string Folder;
  AppSession Session;
  ScriptedDesktop Desktop;
};

bool HaveQpdf();

}  // namespace folvex::testing
