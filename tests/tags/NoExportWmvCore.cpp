// A library that stands where the runtime should be but lacks its export.
extern "C" __attribute__((visibility("default"))) int NotTheEditorFactory()
{
  return 0;
}
