// A first instance without a secondaryMain: main as Primary's.
package noviq.apps;

public class PrimaryAlone {
    public static void main(String[] args) throws Exception {
        Primary.main(args);
    }
}
