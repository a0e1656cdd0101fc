// The sample application: greets, shows the arguments it received and the Java runtime the
// launcher chose, and returns normally (exit code 0).
package example;

public class Greeter {
    public static void main(String[] args) {
        System.out.println("Hello from a Java application started by the Noviq launcher!");
        System.out.println("Arguments (" + args.length + "):");
        for (int i = 0; i < args.length; i++)
            System.out.println("  [" + i + "] " + args[i]);
        System.out.println("Runtime: Java " + System.getProperty("java.version") + ", " +
                           System.getProperty("java.vm.name") + " (" +
                           System.getProperty("java.vm.vendor") + ")");
        System.out.println("Runtime folder: " + System.getProperty("java.home"));
        System.out.println("Class path: " + System.getProperty("java.class.path"));
    }
}
