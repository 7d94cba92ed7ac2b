#include "session/dependent_item.h"

#include "xml/xml_document.h"

DependentItem ReadDependentItem(XmlDocument& doc, DependentSource source) {
  DependentItem item;
  doc.Descend();
  doc.ChildText(u"ProductID", item.ProductID);
  doc.ChildText(u"ProductName", item.ProductName);
  doc.ChildText(u"ProductExe", item.ProductExe);
  doc.ChildText(u"Url_Down", item.Url_Down);
  doc.ChildText(u"Url_Downx64", item.Url_Downx64);
  if (source == DependentSource::Server) {
    doc.ChildText(u"md5", item.md5);
    doc.ChildText(u"history_md5_32", item.history_md5_32);
    doc.ChildText(u"md5_64", item.md5_64);
    doc.ChildText(u"history_md5_64", item.history_md5_64);
    doc.ChildText(u"filesize", item.filesize);
  }
  doc.ChildText(u"ForceInstall", item.ForceInstall);
  doc.ChildText(u"ProductArg", item.ProductArg);
  doc.ChildText(u"ProductInstallArg", item.ProductInstallArg);
  doc.ChildText(u"ProductInsCmple", item.ProductInsCmple);
  doc.ChildText(u"ForkInstall", item.ForkInstall);
  doc.Ascend();
  return item;
}
