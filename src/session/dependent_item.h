// A dependent product of the main product: one "item" of the product configuration's "Dependent"
// list or of the server's "bind" list.
#pragma once

#include <string>

class XmlDocument;

struct DependentItem {
  std::u16string ProductID;
  std::u16string ProductName;
  std::u16string ProductExe;
  std::u16string ProductArg;
  std::u16string Version;  // filled once the package is known
  std::u16string ProductInstallArg;
  std::u16string ProductInsCmple;
  std::u16string Url_Down;
  std::u16string Url_Downx64;
  std::u16string ForceInstall = u"true";
  std::u16string md5;
  std::u16string history_md5_32;
  std::u16string md5_64;
  std::u16string history_md5_64;
  std::u16string filesize;
  std::u16string ForkInstall;

  // Only items that name a product and at least one package are used.
  bool IsAcceptable() const {
    return !ProductID.empty() && (!Url_Down.empty() || !Url_Downx64.empty());
  }
  bool MustInstall() const { return ForceInstall == u"true"; }
};

// Where an item comes from: the local document carries no digests or sizes.
enum class DependentSource { Local, Server };

// Reads the item whose element is the document's current child (as left by NextChild); the
// document's position is unchanged afterwards.
DependentItem ReadDependentItem(XmlDocument& doc, DependentSource source);
